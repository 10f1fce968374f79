#pragma once
// The sound-effect categories; a category's value is its index in Beeper::sounds.

namespace zindle::SfxrCategory {
constexpr int PICKUP_COIN = 0;
constexpr int LASER_SHOOT = 1;
constexpr int EXPLOSION = 2;
constexpr int POWER_UP = 3;
constexpr int HIT_HURT = 4;
constexpr int JUMP = 5;
constexpr int MAX = 5; // the highest category value, not a count
} // namespace zindle::SfxrCategory
