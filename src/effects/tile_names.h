#pragma once
// Numbered tile names as fixed tables, so that drawing thousands of particles a frame builds
// no strings. A number outside a table gives an empty view; callers draw nothing for it.
#include <array>
#include <string_view>

namespace zindle::tiles {

inline constexpr std::array<std::string_view, 7> kSparkle{
    "SPARKLE_1", "SPARKLE_2", "SPARKLE_3", "SPARKLE_4", "SPARKLE_5", "SPARKLE_6", "SPARKLE_7"};

// "SPARKLE_" + n for n = 1..7.
constexpr std::string_view sparkle(int n) {
    return n >= 1 && n <= static_cast<int>(kSparkle.size()) ? kSparkle[n - 1] : std::string_view{};
}

// The sparkle for a particle that has used up the share alpha (0..1) of its life: the seven
// frames play once, a seventh of the life each. A dead particle (alpha 1) has no frame.
inline std::string_view sparkleAtAge(double alpha) {
    const double f = static_cast<double>(kSparkle.size()) * alpha;
    if (!(f >= 0 && f < static_cast<double>(kSparkle.size())))
        return {};
    return kSparkle[static_cast<std::size_t>(f)];
}

} // namespace zindle::tiles
