// Raw key codes become the game's key constants here, so that the game (and any script that
// drives it) deals only in player keys and paddle values.
#include "input/input.h"

#include <array>

namespace zindle {

std::vector<Paddle> Input::paddles;
std::map<int, int> Input::keyBinds;
std::map<int, bool> Input::keyStates;
double Input::accelerometerX = 0;
double Input::accelerometerY = 0;
double Input::accelerometerZ = 0;

namespace {

constexpr int kLowerCaseOffset = 32; // a lower-case letter's code is its capital's + 32

struct Binding {
    int key;
    int code;
    bool letter; // bound under the lower-case code as well
};

// Raw codes are the framework's key codes. Some lower-case letter codes coincide with function
// and keypad keys (113 is also F2, 105 NUMPAD_9): those keys steer exactly like the letter.
constexpr std::array<Binding, 17> kBindings{{
    {Input::P1LEFT, 37, false},  // LEFT arrow
    {Input::P1RIGHT, 39, false}, // RIGHT arrow
    {Input::P1START, 32, false}, // SPACE
    {Input::P2LEFT, 'Q', true},
    {Input::P2RIGHT, 'W', true},
    {Input::P2START, 'E', true},
    {Input::P3LEFT, 'O', true},
    {Input::P3RIGHT, 'P', true},
    {Input::P3START, 'I', true},
    {Input::P4LEFT, 'Z', true},
    {Input::P4RIGHT, 'X', true},
    {Input::P4START, 'C', true},
    {Input::P1AI, '1', false},
    {Input::P2AI, '2', false},
    {Input::P3AI, '3', false},
    {Input::P4AI, '4', false},
    {Input::ESC, 27, false}, // ESCAPE
}};

struct PaddleSetup {
    int left;
    int right;
    int facing; // players on the left half start facing right, and the other way round
};

constexpr std::array<PaddleSetup, 4> kPaddles{{
    {Input::P1LEFT, Input::P1RIGHT, 1},
    {Input::P2LEFT, Input::P2RIGHT, -1},
    {Input::P3LEFT, Input::P3RIGHT, 1},
    {Input::P4LEFT, Input::P4RIGHT, -1},
}};

} // namespace

void Input::init() {
    keyStates.clear();
    keyBinds.clear();
    for (const Binding& b : kBindings) {
        keyBinds[b.code] = b.key;
        if (b.letter)
            keyBinds[b.code + kLowerCaseOffset] = b.key;
    }
    accelerometerX = accelerometerY = accelerometerZ = 0;
    paddles.clear();
    for (const PaddleSetup& p : kPaddles)
        paddles.emplace_back(std::vector<int>{p.left}, std::vector<int>{p.right}, p.facing, false);
}

void Input::update(double /*dt*/) {
    for (Paddle& paddle : paddles)
        paddle.update();
}

void Input::setPad(double value, int index) {
    // The index is a joystick's device number: any number may come in, only four have paddles.
    if (index >= 0 && static_cast<std::size_t>(index) < paddles.size())
        paddles[static_cast<std::size_t>(index)].pad = value;
}

void Input::setKeyState(int key, bool state) {
    keyStates[key] = state;
}

bool Input::getKeyState(int key) {
    const auto it = keyStates.find(key);
    return it != keyStates.end() && it->second;
}

int Input::translateKey(int code) {
    const auto it = keyBinds.find(code);
    return it != keyBinds.end() ? it->second : NONE;
}

} // namespace zindle
