#pragma once
// Particles start on whole pixels: the rounding they share.
#include <cmath>
#include <limits>

namespace zindle {

// Rounds a position down to a whole pixel. Values that fit no int (never met on a 480 by 320
// field) are pinned to the int range instead of overflowing the conversion.
inline int floorToPixel(double v) {
    constexpr double kLowest = std::numeric_limits<int>::min();
    constexpr double kHighest = std::numeric_limits<int>::max();
    if (!(v >= kLowest)) // also NaN
        return v > 0 ? std::numeric_limits<int>::max() : std::numeric_limits<int>::min();
    if (v >= kHighest)
        return std::numeric_limits<int>::max();
    return static_cast<int>(std::floor(v));
}

} // namespace zindle
