#pragma once

namespace zindle {

struct Rectangle {
    double x = 0, y = 0, width = 0, height = 0;
};

struct Point {
    double x = 0, y = 0;
};

} // namespace zindle
