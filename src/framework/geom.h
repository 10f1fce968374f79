#pragma once
// Rectangles and points in pixels: tile rectangles in an atlas and their centres, shared by
// the framework and the media layer.

namespace zindle {

struct Rectangle {
    double x = 0, y = 0, width = 0, height = 0;
};

struct Point {
    double x = 0, y = 0;
};

} // namespace zindle
