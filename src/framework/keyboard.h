#pragma once
// The framework's key codes, as the media layer delivers them.

namespace zindle::Keyboard {
constexpr int ENTER = 13;
constexpr int ESCAPE = 27;
constexpr int SPACE = 32;
constexpr int LEFT = 37;
constexpr int UP = 38;
constexpr int RIGHT = 39;
constexpr int DOWN = 40;
constexpr int NUMBER_0 = 48; // to NUMBER_9 = 57
constexpr int NUMBER_1 = 49;
constexpr int NUMBER_2 = 50;
constexpr int NUMBER_3 = 51;
constexpr int NUMBER_4 = 52;
constexpr int A = 65; // to Z = 90
constexpr int C = 67;
constexpr int E = 69;
constexpr int I = 73;
constexpr int O = 79;
constexpr int P = 80;
constexpr int Q = 81;
constexpr int W = 87;
constexpr int X = 88;
constexpr int Z = 90;
constexpr int NUMPAD_0 = 96; // to NUMPAD_9 = 105
constexpr int NUMPAD_MULTIPLY = 106;
constexpr int NUMPAD_ADD = 107;
constexpr int NUMPAD_ENTER = 108;
constexpr int NUMPAD_SUBTRACT = 109;
constexpr int NUMPAD_DECIMAL = 110;
constexpr int NUMPAD_DIVIDE = 111;
constexpr int F1 = 112; // to F15 = 126
constexpr int F4 = 115;
constexpr int F12 = 123;
constexpr int F15 = 126;
} // namespace zindle::Keyboard
