#pragma once
// Translation of SDL keyboard events into the framework's key codes, characters and modifier
// flags. Pure functions, so the table can be checked without a window.
#include <cstdint>

namespace zindle {

// The framework's code for an SDL key code (SDL_Keycode): ENTER 13, ESCAPE 27, SPACE 32, arrows
// 37 to 40, digits 48 to 57, letters 65 to 90 (upper case), keypad 96 to 111, F1 to F15 112 to
// 126, and the usual codes for the other common keys; 0 for a key without one.
int frameworkKeyCode(std::int32_t sdlKey);

// The character a key press stands for (printable ASCII only; 0 otherwise). Letters follow shift
// and caps lock; other keys give their unshifted character, as the layout is not known here.
int keyCharacter(std::int32_t sdlKey, std::uint16_t sdlMods);

// The stage's modifier flags (shift, ctrl, alt, command) for SDL's modifier state, plus the
// right-hand location flag when the key itself is a right-hand modifier.
int keyFlags(std::int32_t sdlKey, std::uint16_t sdlMods);

} // namespace zindle
