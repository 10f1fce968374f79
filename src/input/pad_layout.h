#pragma once
// What a pad read in the standard layout (the south face button, Start, the D-pad, the left
// stick) means to the game, for every backend that reads pads so: the south button and Start
// join, the left stick steers, and a D-pad side held down is the stick pushed all the way. The
// backends name the parts in their own numbering; the rules are only here.
#include "framework/media.h"

#include <cstdint>
#include <optional>

namespace zindle::pad_layout {

// The joystick records the game reads (Main): axis 0 steers, buttons 0 and 7 join.
constexpr int kSteeringAxis = 0;
constexpr int kSouthButton = 0; // where many pads have their south face button (A)
constexpr int kStartButton = 7; // where many pads have Start
// Where many pads have the right shoulder button: saves a clip of the last ten seconds. Never
// recorded, as F12 is not.
constexpr int kClipButton = 5;
// The menu's buttons, which never reach the game: B goes back, Back (Select) opens and closes
// it, and the D-pad's up and down (or the left stick pushed up or down) move through it.
constexpr int kEastButton = 1;
constexpr int kBackButton = 6;
constexpr int kMenuUpButton = 11;
constexpr int kMenuDownButton = 12;
constexpr std::int16_t kFullLeft = -32768;
constexpr std::int16_t kFullRight = 32767;

// Whether a joystick record's button joins its device's player (raw joysticks included).
constexpr bool joins(int button) {
    return button == kSouthButton || button == kStartButton;
}

// The parts of the standard layout the game uses; every other part is Other.
enum class Part {
    South,
    East,
    Start,
    Back,
    RightShoulder,
    DpadLeft,
    DpadRight,
    DpadUp,
    DpadDown,
    LeftStickX,
    LeftStickY,
    Other
};

// One pad's steering state, turned into the records the game reads.
class StandardPad {
public:
    // A button pressed or released: a button record for the joining buttons and the clip
    // button, an axis record for a D-pad side, none for the rest.
    std::optional<MediaEvent> button(Part part, bool down);
    // An axis moved (-32768 to 32767): an axis record for the left stick's x; a menu button
    // record when its y passes far enough up or down, or back; none for the rest.
    std::optional<MediaEvent> axis(Part part, int value);
    // The steering value the game has now: one D-pad side held wins over the stick; both
    // sides, or neither, leave the stick.
    std::int16_t steering() const;

private:
    MediaEvent steeringRecord() const;

    std::int16_t stick_ = 0;
    bool left_ = false;
    int stickY_ = 0; // -1 pushed up, +1 down, 0 neither
    bool right_ = false;
};

} // namespace zindle::pad_layout
