#pragma once
// A joystick's axis, ball, hat or button event, dispatched on the stage.
#include "framework/event.h"

namespace zindle {

class JoystickEvent : public Event {
public:
    static constexpr const char* AXIS_MOVE = "axisMove";
    static constexpr const char* BALL_MOVE = "ballMove";
    static constexpr const char* HAT_MOVE = "hatMove";
    static constexpr const char* BUTTON_DOWN = "buttonDown";
    static constexpr const char* BUTTON_UP = "buttonUp";

    JoystickEvent(std::string type, int device = 0, int id = 0, double x = 0, double y = 0,
                  double z = 0)
        : Event(std::move(type), false, false), device(device), id(id), x(x), y(y), z(z) {}

    int device; // the joystick's number, stable while it is connected
    int id;     // button, hat or ball number; 0 for axis events
    double x;
    double y;
    double z;
};

} // namespace zindle
