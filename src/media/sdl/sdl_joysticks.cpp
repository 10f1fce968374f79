// Opening and closing joysticks as they come and go, and their small stable device numbers.
#include "media/sdl/sdl_joysticks.h"

#include <SDL.h>

#include <algorithm>

namespace zindle {

namespace {
// SDL's game-controller parts as the standard layout's parts the game reads.
pad_layout::Part buttonPart(Uint8 button) {
    switch (button) {
    case SDL_CONTROLLER_BUTTON_A:
        return pad_layout::Part::South;
    case SDL_CONTROLLER_BUTTON_B:
        return pad_layout::Part::East;
    case SDL_CONTROLLER_BUTTON_START:
        return pad_layout::Part::Start;
    case SDL_CONTROLLER_BUTTON_BACK:
        return pad_layout::Part::Back;
    case SDL_CONTROLLER_BUTTON_DPAD_UP:
        return pad_layout::Part::DpadUp;
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN:
        return pad_layout::Part::DpadDown;
    case SDL_CONTROLLER_BUTTON_RIGHTSHOULDER:
        return pad_layout::Part::RightShoulder;
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT:
        return pad_layout::Part::DpadLeft;
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT:
        return pad_layout::Part::DpadRight;
    default:
        return pad_layout::Part::Other;
    }
}

pad_layout::Part axisPart(Uint8 axis) {
    if (axis == SDL_CONTROLLER_AXIS_LEFTY)
        return pad_layout::Part::LeftStickY;
    return axis == SDL_CONTROLLER_AXIS_LEFTX ? pad_layout::Part::LeftStickX
                                             : pad_layout::Part::Other;
}

MediaEvent joystickRecord(int type, int code, int value, int number) {
    MediaEvent record;
    record.type = type;
    record.code = code;
    record.value = value;
    record.device = number;
    return record;
}
} // namespace

void SdlJoysticks::Closer::operator()(SDL_Joystick* joystick) const {
    SDL_JoystickClose(joystick);
}

void SdlJoysticks::Closer::operator()(SDL_GameController* controller) const {
    SDL_GameControllerClose(controller);
}

std::optional<int> SdlJoysticks::add(int deviceIndex) {
    const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(deviceIndex);
    if (id < 0)
        return std::nullopt;
    if (auto known = numberOf(id))
        return known;
    Slot opened;
    if (SDL_IsGameController(deviceIndex))
        opened.controller.reset(SDL_GameControllerOpen(deviceIndex));
    // A pad whose mapping SDL cannot apply after all is still playable raw.
    if (!opened.controller)
        opened.joystick.reset(SDL_JoystickOpen(deviceIndex));
    if (!opened.open())
        return std::nullopt;
    opened.instanceId = id;
    auto free =
        std::find_if(slots_.begin(), slots_.end(), [](const Slot& slot) { return !slot.open(); });
    if (free == slots_.end())
        free = slots_.insert(slots_.end(), Slot{});
    *free = std::move(opened);
    return static_cast<int>(free - slots_.begin());
}

std::optional<int> SdlJoysticks::remove(std::int32_t instanceId) {
    const auto number = numberOf(instanceId);
    if (!number)
        return std::nullopt;
    slots_[static_cast<std::size_t>(*number)] = Slot{};
    return number;
}

std::optional<int> SdlJoysticks::numberOf(std::int32_t instanceId) const {
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        if (slots_[i].open() && slots_[i].instanceId == instanceId)
            return static_cast<int>(i);
    }
    return std::nullopt;
}

bool SdlJoysticks::isController(std::int32_t instanceId) const {
    const auto number = numberOf(instanceId);
    return number && slots_[static_cast<std::size_t>(*number)].controller != nullptr;
}

void SdlJoysticks::closeAll() {
    slots_.clear();
}

std::optional<MediaEvent> SdlJoysticks::translate(const SDL_Event& event) {
    switch (event.type) {
    case SDL_CONTROLLERAXISMOTION:
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP:
        return translateController(event);
    default:
        break;
    }
    // Raw events: only for joysticks read raw.
    std::int32_t which = -1;
    switch (event.type) {
    case SDL_JOYAXISMOTION:
        which = event.jaxis.which;
        break;
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP:
        which = event.jbutton.which;
        break;
    case SDL_JOYHATMOTION:
        which = event.jhat.which;
        break;
    case SDL_JOYBALLMOTION:
        which = event.jball.which;
        break;
    default:
        return std::nullopt;
    }
    const auto number = numberOf(which);
    if (!number || isController(which))
        return std::nullopt;
    switch (event.type) {
    case SDL_JOYAXISMOTION:
        return joystickRecord(MediaEventType::JOY_AXIS, event.jaxis.axis, event.jaxis.value,
                              *number);
    case SDL_JOYBUTTONDOWN:
        return joystickRecord(MediaEventType::JOY_BUTTON_DOWN, event.jbutton.button, 0, *number);
    case SDL_JOYBUTTONUP:
        return joystickRecord(MediaEventType::JOY_BUTTON_UP, event.jbutton.button, 0, *number);
    case SDL_JOYHATMOTION:
        return joystickRecord(MediaEventType::JOY_HAT, event.jhat.hat, event.jhat.value, *number);
    default: {
        auto record = joystickRecord(MediaEventType::JOY_BALL, event.jball.ball, 0, *number);
        record.x = event.jball.xrel;
        record.y = event.jball.yrel;
        return record;
    }
    }
}

std::optional<MediaEvent> SdlJoysticks::translateController(const SDL_Event& event) {
    const std::int32_t which =
        event.type == SDL_CONTROLLERAXISMOTION ? event.caxis.which : event.cbutton.which;
    const auto number = numberOf(which);
    if (!number || !isController(which))
        return std::nullopt;
    auto& pad = slots_[static_cast<std::size_t>(*number)].pad;
    std::optional<MediaEvent> record =
        event.type == SDL_CONTROLLERAXISMOTION
            ? pad.axis(axisPart(event.caxis.axis), event.caxis.value)
            : pad.button(buttonPart(event.cbutton.button), event.type == SDL_CONTROLLERBUTTONDOWN);
    if (record)
        record->device = *number;
    return record;
}

} // namespace zindle
