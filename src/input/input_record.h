#pragma once
// One input as it reaches the game from Main's handlers: a key with its modifiers, a joystick
// axis or button. Live play and replays hand the game the same records, so that a recorded
// match gets exactly the inputs the live one got.
#include <cstdint>

namespace zindle {

struct InputRecord {
    enum class Kind : std::uint8_t { KeyDown, KeyUp, Axis, ButtonDown, ButtonUp };
    static constexpr std::uint8_t kCtrl = 1;
    static constexpr std::uint8_t kAlt = 2;
    static constexpr std::uint8_t kShift = 4;

    double value = 0;        // Axis: the steering value the paddle received
    std::int32_t code = 0;   // keys: the key code; joysticks: the device number
    std::int16_t button = 0; // ButtonDown and ButtonUp: the button number
    Kind kind = Kind::KeyDown;
    std::uint8_t modifiers = 0; // keys: kCtrl, kAlt, kShift

    bool operator==(const InputRecord&) const = default;
};

} // namespace zindle
