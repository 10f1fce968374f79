// The standard layout's rules: which parts join and how the stick and the D-pad steer.
#include "input/pad_layout.h"

#include <algorithm>
#include <cstdlib>

namespace zindle::pad_layout {
namespace {
// How far the stick goes before it counts as up or down, and how far back before it lets go:
// the gap keeps a stick resting near the line from stepping through the menu.
constexpr int kStickPressed = 16384;
constexpr int kStickReleased = 8192;
} // namespace

std::optional<MediaEvent> StandardPad::button(Part part, bool down) {
    const int type = down ? MediaEventType::JOY_BUTTON_DOWN : MediaEventType::JOY_BUTTON_UP;
    switch (part) {
    case Part::South:
        return mediaEvent(type, kSouthButton);
    case Part::East:
        return mediaEvent(type, kEastButton);
    case Part::Back:
        return mediaEvent(type, kBackButton);
    case Part::DpadUp:
        return mediaEvent(type, kMenuUpButton);
    case Part::DpadDown:
        return mediaEvent(type, kMenuDownButton);
    case Part::Start:
        return mediaEvent(type, kStartButton);
    case Part::RightShoulder:
        return mediaEvent(type, kClipButton);
    case Part::DpadLeft:
        left_ = down;
        return steeringRecord();
    case Part::DpadRight:
        right_ = down;
        return steeringRecord();
    default:
        return std::nullopt;
    }
}

std::optional<MediaEvent> StandardPad::axis(Part part, int value) {
    if (part == Part::LeftStickY) {
        const int was = stickY_;
        if (value <= -kStickPressed)
            stickY_ = -1;
        else if (value >= kStickPressed)
            stickY_ = 1;
        else if (std::abs(value) < kStickReleased)
            stickY_ = 0;
        if (stickY_ == was)
            return std::nullopt;
        // One record a change: the old direction lets go, or the new one presses.
        const int direction = stickY_ != 0 ? stickY_ : was;
        return mediaEvent(stickY_ != 0 ? MediaEventType::JOY_BUTTON_DOWN
                                       : MediaEventType::JOY_BUTTON_UP,
                          direction < 0 ? kMenuUpButton : kMenuDownButton);
    }
    if (part != Part::LeftStickX)
        return std::nullopt;
    stick_ = static_cast<std::int16_t>(std::clamp<int>(value, kFullLeft, kFullRight));
    return steeringRecord();
}

std::int16_t StandardPad::steering() const {
    if (left_ != right_)
        return left_ ? kFullLeft : kFullRight;
    return stick_;
}

MediaEvent StandardPad::steeringRecord() const {
    return mediaEvent(MediaEventType::JOY_AXIS, kSteeringAxis, steering());
}

} // namespace zindle::pad_layout
