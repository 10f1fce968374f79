#pragma once
// The three keys of each player (steer left, steer right, join) as raw key codes, and the set
// the game ships with. Players may choose others; the recorded and delivered codes stay these.
#include "base/rules.h"
#include "framework/keyboard.h"

#include <array>
#include <string_view>

namespace zindle {

struct PlayerKeys {
    int left = 0;
    int right = 0;
    int start = 0;

    static constexpr int kActions = 3;
    // left, right, start by index, so that a loop may walk a player's keys.
    int& operator[](int action) { return action == 0 ? left : action == 1 ? right : start; }
    int operator[](int action) const { return action == 0 ? left : action == 1 ? right : start; }
    friend bool operator==(const PlayerKeys&, const PlayerKeys&) = default;
};

using KeyTable = std::array<PlayerKeys, rules::kPlayers>;

inline constexpr KeyTable kDefaultKeys{{
    {Keyboard::LEFT, Keyboard::RIGHT, Keyboard::SPACE},
    {Keyboard::Q, Keyboard::W, Keyboard::E},
    {Keyboard::O, Keyboard::P, Keyboard::I},
    {Keyboard::Z, Keyboard::X, Keyboard::C},
}};

inline constexpr std::array<std::string_view, PlayerKeys::kActions> kKeyActionNames{"left", "right",
                                                                                    "join"};

} // namespace zindle
