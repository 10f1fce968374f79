#pragma once
// Key bindings, held keys and the four paddles. Class-level only; init() resets everything.
#include "input/paddle.h"

#include <map>
#include <vector>

namespace zindle {

class Input {
public:
    Input() = delete;

    static constexpr int NONE = -1;
    static constexpr int P1LEFT = 0;
    static constexpr int P1RIGHT = 1;
    static constexpr int P1START = 2;
    static constexpr int P2LEFT = 3;
    static constexpr int P2RIGHT = 4;
    static constexpr int P2START = 5;
    static constexpr int P3LEFT = 6;
    static constexpr int P3RIGHT = 7;
    static constexpr int P3START = 8;
    static constexpr int P4LEFT = 9;
    static constexpr int P4RIGHT = 10;
    static constexpr int P4START = 11;
    static constexpr int P1AI = 12;
    static constexpr int P2AI = 13;
    static constexpr int P3AI = 14;
    static constexpr int P4AI = 15;
    static constexpr int ESC = 16;

    static constexpr int DOWN = 0;
    static constexpr int UP = 1;

    static void init();
    static void update(double dt);
    static void setPad(double value, int index);
    static void setKeyState(int key, bool state);
    static bool getKeyState(int key);
    static int translateKey(int code);
    // The paddle of a player or joystick device number; null for a number that has none.
    static Paddle* paddle(int player);

    static std::vector<Paddle> paddles;
    static std::map<int, int> keyBinds;
    static std::map<int, bool> keyStates;
    // [vestige] Always 0: no device here has an accelerometer, and nothing reads them.
    static double accelerometerX;
    static double accelerometerY;
    static double accelerometerZ;
};

} // namespace zindle
