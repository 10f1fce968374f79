// The standard layout's rules: which parts join and how the stick and the D-pad steer.
#include "input/pad_layout.h"

#include <algorithm>

namespace zindle::pad_layout {

std::optional<MediaEvent> StandardPad::button(Part part, bool down) {
    const int type = down ? MediaEventType::JOY_BUTTON_DOWN : MediaEventType::JOY_BUTTON_UP;
    switch (part) {
    case Part::South:
        return mediaEvent(type, kSouthButton);
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
