#pragma once
// One line of text in the game's pixel font, set from the atlas's glyph tiles: TEXT_ and the
// character's code in two hex digits, 7 px of ink inside a 1-px outline, glyphs one column
// apart. Drawing text takes no random numbers and changes nothing but the picture.
#include <string>
#include <string_view>

namespace zindle {

class Tiler;

namespace text_line {

inline constexpr double kOutlinePx = 1;
inline constexpr double kHeightPx = 9;       // outline included
inline constexpr double kSpaceAdvancePx = 4; // the font's 3-px space and the gap after it

// px from one glyph's ink to the next one's.
double advance(const Tiler& tiler, char c);
// The tile name of the glyph drawn for c: its own, else a letter's capital, else '?'s. A space
// has no tile: it only moves the pen.
std::string glyphTile(const Tiler& tiler, char c);
// From the first glyph's outline to the last one's, in px (0 for no text).
double width(const Tiler& tiler, std::string_view text);
// (x, y): the top-left corner of the line's outline.
void draw(Tiler& tiler, std::string_view text, double x, double y);
// text, or as much of it as fits in width px followed by "...".
std::string fitted(const Tiler& tiler, const std::string& text, double width);
// The line centred on centreX, its top at y.
void drawCentred(Tiler& tiler, std::string_view text, double centreX, double y);

} // namespace text_line
} // namespace zindle
