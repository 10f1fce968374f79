#pragma once
// The connected joysticks, each under a small device number (0, 1, 2, ...) that stays the same
// while it is connected; a new joystick takes the lowest number free. Player slots follow these
// numbers, so a pad that is unplugged and plugged back takes its old seat if nobody took it.
//
// A pad SDL knows how to map (its own mappings, SDL_GAMECONTROLLERCONFIG, the data's mapping
// file) is opened as a game controller and read in the standard layout, whatever its raw
// numbering: its events become the few joystick records the game knows, by the standard
// layout's rules (input/pad_layout.h). Any other joystick is read raw, axis and button numbers
// as the device reports them.
#include "framework/media.h"
#include "input/pad_layout.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

struct _SDL_Joystick;
struct _SDL_GameController;
union SDL_Event;

namespace zindle {

class SdlJoysticks {
public:
    SdlJoysticks() = default;
    SdlJoysticks(const SdlJoysticks&) = delete;
    SdlJoysticks& operator=(const SdlJoysticks&) = delete;
    ~SdlJoysticks() = default; // closes every open joystick

    // SDL_JOYDEVICEADDED carries a device index: opens it (as a game controller where SDL can
    // map it) and gives it a number. A device that is already open (SDL may announce one twice)
    // keeps its number.
    std::optional<int> add(int deviceIndex);
    // SDL_JOYDEVICEREMOVED carries an instance id: closes it and frees its number.
    std::optional<int> remove(std::int32_t instanceId);
    // The number of an open joystick, by the instance id that its events carry.
    std::optional<int> numberOf(std::int32_t instanceId) const;
    // Whether the joystick with that instance id is read as a game controller.
    bool isController(std::int32_t instanceId) const;
    void closeAll();

    // The record an SDL joystick or game-controller event means to the game (with its device
    // number), or none: events of joysticks that are not open, raw events of a pad read
    // as a game controller (SDL sends both kinds for it), and controller parts the game has no
    // use for.
    std::optional<MediaEvent> translate(const SDL_Event& event);

private:
    struct Closer {
        void operator()(_SDL_Joystick* joystick) const;
        void operator()(_SDL_GameController* controller) const;
    };
    struct Slot {
        // One of the two is open while the slot is taken.
        std::unique_ptr<_SDL_Joystick, Closer> joystick;
        std::unique_ptr<_SDL_GameController, Closer> controller;
        std::int32_t instanceId = -1;
        // A game controller's steering: the left stick's last value and the D-pad's sides.
        pad_layout::StandardPad pad;

        bool open() const { return joystick != nullptr || controller != nullptr; }
    };
    std::optional<MediaEvent> translateController(const SDL_Event& event);

    std::vector<Slot> slots_; // index = device number
};

} // namespace zindle
