#pragma once
// A key pressed or released, with its code, character and modifier keys; it bubbles from the
// focused object up to the stage.
#include "framework/event.h"

namespace zindle {

class KeyboardEvent : public Event {
public:
    static constexpr const char* KEY_DOWN = "keyDown";
    static constexpr const char* KEY_UP = "keyUp";

    // ctrlKey is set when ctrl, controlKey or commandKey is.
    KeyboardEvent(std::string type, bool bubbles = true, bool cancelable = false, int charCode = 0,
                  int keyCode = 0, int keyLocation = 0, bool ctrl = false, bool alt = false,
                  bool shift = false, bool controlKey = false, bool commandKey = false)
        : Event(std::move(type), bubbles, cancelable), altKey(alt), charCode(charCode),
          ctrlKey(ctrl || controlKey || commandKey), controlKey(controlKey), commandKey(commandKey),
          keyCode(keyCode), keyLocation(keyLocation), shiftKey(shift) {}

    bool altKey;
    int charCode;
    bool ctrlKey;
    bool controlKey;
    bool commandKey;
    int keyCode;
    int keyLocation;
    bool shiftKey;
};

} // namespace zindle
