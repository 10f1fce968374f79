// Keeping track of held keys and pad inputs, and the records that let them go.
#include "media/common/held_inputs.h"

#include <vector>

namespace zindle {

namespace {

// The record that ends what record starts; its type is 0 when record lets go of something
// (or holds nothing).
MediaEvent releaseFor(const MediaEvent& record) {
    MediaEvent release = record;
    release.result = 0;
    switch (record.type) {
    case MediaEventType::KEY_DOWN:
        release.type = MediaEventType::KEY_UP;
        break;
    case MediaEventType::JOY_BUTTON_DOWN:
        release.type = MediaEventType::JOY_BUTTON_UP;
        break;
    case MediaEventType::JOY_AXIS:
    case MediaEventType::JOY_HAT:
        release.value = 0; // the centre
        if (record.value == 0)
            release.type = 0;
        break;
    default:
        release.type = 0;
        break;
    }
    return release;
}

// Keys are one input per key code (the stage keeps one state per code); pad inputs one per
// device, kind and number.
bool sameInput(const MediaEvent& a, const MediaEvent& b) {
    const auto kind = [](int type) {
        switch (type) {
        case MediaEventType::KEY_DOWN:
        case MediaEventType::KEY_UP:
            return MediaEventType::KEY_UP;
        case MediaEventType::JOY_BUTTON_DOWN:
        case MediaEventType::JOY_BUTTON_UP:
            return MediaEventType::JOY_BUTTON_UP;
        default:
            return type;
        }
    };
    const bool key = kind(a.type) == MediaEventType::KEY_UP;
    return kind(a.type) == kind(b.type) && a.code == b.code && (key || a.device == b.device);
}

} // namespace

void HeldInputs::note(const MediaEvent& record) {
    switch (record.type) {
    case MediaEventType::KEY_DOWN:
    case MediaEventType::KEY_UP:
    case MediaEventType::JOY_BUTTON_DOWN:
    case MediaEventType::JOY_BUTTON_UP:
    case MediaEventType::JOY_AXIS:
    case MediaEventType::JOY_HAT:
        break;
    default:
        return;
    }
    std::erase_if(releases_, [&](const MediaEvent& held) { return sameInput(held, record); });
    if (MediaEvent release = releaseFor(record); release.type != 0)
        releases_.push_back(release);
}

std::vector<MediaEvent> HeldInputs::releaseAll() {
    std::vector<MediaEvent> releases;
    releases.swap(releases_);
    return releases;
}

} // namespace zindle
