#pragma once
// Where the players' panels are drawn: a strip along the bottom of the picture, one panel per
// player slot side by side. The page's touch layer asks the same numbers where a tap lands.
namespace zindle::panel_strip {

constexpr double kLeft = 0;
constexpr double kTop = 275;
constexpr double kPanelWidth = 120;

} // namespace zindle::panel_strip
