// Opening and closing joysticks as they come and go, and their small stable device numbers.
#include "media/sdl/sdl_joysticks.h"

#include <SDL.h>

#include <algorithm>

namespace zindle {

void SdlJoysticks::Closer::operator()(SDL_Joystick* joystick) const {
    SDL_JoystickClose(joystick);
}

std::optional<int> SdlJoysticks::add(int deviceIndex) {
    const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(deviceIndex);
    if (id < 0)
        return std::nullopt;
    if (auto known = numberOf(id))
        return known;
    SDL_Joystick* joystick = SDL_JoystickOpen(deviceIndex);
    if (joystick == nullptr)
        return std::nullopt;
    auto free = std::find_if(slots_.begin(), slots_.end(),
                             [](const Slot& slot) { return slot.joystick == nullptr; });
    if (free == slots_.end())
        free = slots_.insert(slots_.end(), Slot{});
    free->joystick.reset(joystick);
    free->instanceId = SDL_JoystickInstanceID(joystick);
    return static_cast<int>(free - slots_.begin());
}

std::optional<int> SdlJoysticks::remove(std::int32_t instanceId) {
    const auto number = numberOf(instanceId);
    if (!number)
        return std::nullopt;
    auto& slot = slots_[static_cast<std::size_t>(*number)];
    slot.joystick.reset();
    slot.instanceId = -1;
    return number;
}

std::optional<int> SdlJoysticks::numberOf(std::int32_t instanceId) const {
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        if (slots_[i].joystick != nullptr && slots_[i].instanceId == instanceId)
            return static_cast<int>(i);
    }
    return std::nullopt;
}

void SdlJoysticks::closeAll() {
    slots_.clear();
}

} // namespace zindle
