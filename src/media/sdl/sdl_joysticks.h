#pragma once
// The connected joysticks, each under a small device number (0, 1, 2, ...) that stays the same
// while it is connected; a new joystick takes the lowest number free. Player slots follow these
// numbers, so a pad that is unplugged and plugged back takes its old seat if nobody took it.
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

struct _SDL_Joystick;

namespace zindle {

class SdlJoysticks {
public:
    SdlJoysticks() = default;
    SdlJoysticks(const SdlJoysticks&) = delete;
    SdlJoysticks& operator=(const SdlJoysticks&) = delete;
    ~SdlJoysticks() = default; // closes every open joystick

    // SDL_JOYDEVICEADDED carries a device index: opens it and gives it a number. A device that
    // is already open (SDL may announce one twice) keeps its number.
    std::optional<int> add(int deviceIndex);
    // SDL_JOYDEVICEREMOVED carries an instance id: closes it and frees its number.
    std::optional<int> remove(std::int32_t instanceId);
    // The number of an open joystick, by the instance id that axis and button events carry.
    std::optional<int> numberOf(std::int32_t instanceId) const;
    void closeAll();

private:
    struct Closer {
        void operator()(_SDL_Joystick* joystick) const;
    };
    struct Slot {
        std::unique_ptr<_SDL_Joystick, Closer> joystick; // open while the slot is taken
        std::int32_t instanceId = -1;
    };
    std::vector<Slot> slots_; // index = device number
};

} // namespace zindle
