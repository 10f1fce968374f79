// Raw key codes become the game's key constants here, so that the game (and any script that
// drives it) deals only in player keys and paddle values.
#include "input/input.h"

#include "base/rules.h"
#include "framework/keyboard.h"

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
    {Input::P1LEFT, Keyboard::LEFT, false},
    {Input::P1RIGHT, Keyboard::RIGHT, false},
    {Input::P1START, Keyboard::SPACE, false},
    {Input::P2LEFT, Keyboard::Q, true},
    {Input::P2RIGHT, Keyboard::W, true},
    {Input::P2START, Keyboard::E, true},
    {Input::P3LEFT, Keyboard::O, true},
    {Input::P3RIGHT, Keyboard::P, true},
    {Input::P3START, Keyboard::I, true},
    {Input::P4LEFT, Keyboard::Z, true},
    {Input::P4RIGHT, Keyboard::X, true},
    {Input::P4START, Keyboard::C, true},
    {Input::P1AI, Keyboard::NUMBER_1, false},
    {Input::P2AI, Keyboard::NUMBER_2, false},
    {Input::P3AI, Keyboard::NUMBER_3, false},
    {Input::P4AI, Keyboard::NUMBER_4, false},
    {Input::ESC, Keyboard::ESCAPE, false},
}};

struct PaddleSetup {
    int left;
    int right;
    int facing; // players on the left half start facing right, and the other way round
};

constexpr std::array<PaddleSetup, rules::kPlayers> kPaddles{{
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

Paddle* Input::paddle(int player) {
    if (player < 0 || static_cast<std::size_t>(player) >= paddles.size())
        return nullptr;
    return &paddles[static_cast<std::size_t>(player)];
}

void Input::setPad(double value, int index) {
    // The index is a joystick's device number: any number may come in, only four have paddles.
    if (Paddle* pad = paddle(index))
        pad->pad = value;
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
