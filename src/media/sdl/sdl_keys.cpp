// The table from SDL key codes to the framework's, and the characters and modifier flags.
#include "media/sdl/sdl_keys.h"

#include "framework/stage.h"

#include <SDL.h>

#include <utility>

namespace zindle {

namespace {
// Framework codes of the key ranges that run in step with SDL's.
constexpr int kDigit0 = 48;
constexpr int kLetterA = 65;
constexpr int kNumpad0 = 96;
constexpr int kF1 = 112;
constexpr int kF13 = 124;

// Single keys, by the codes the framework's keyboard constants use.
constexpr std::pair<SDL_Keycode, int> kSingleKeys[] = {
    {SDLK_BACKSPACE, 8},      {SDLK_TAB, 9},
    {SDLK_RETURN, 13},        {SDLK_RETURN2, 13},
    {SDLK_LSHIFT, 16},        {SDLK_RSHIFT, 16},
    {SDLK_LCTRL, 17},         {SDLK_RCTRL, 17},
    {SDLK_LALT, 18},          {SDLK_RALT, 18},
    {SDLK_PAUSE, 19},         {SDLK_CAPSLOCK, 20},
    {SDLK_ESCAPE, 27},        {SDLK_SPACE, 32},
    {SDLK_PAGEUP, 33},        {SDLK_PAGEDOWN, 34},
    {SDLK_END, 35},           {SDLK_HOME, 36},
    {SDLK_LEFT, 37},          {SDLK_UP, 38},
    {SDLK_RIGHT, 39},         {SDLK_DOWN, 40},
    {SDLK_INSERT, 45},        {SDLK_DELETE, 46},
    {SDLK_LGUI, 15},          {SDLK_RGUI, 15},
    {SDLK_KP_MULTIPLY, 106},  {SDLK_KP_PLUS, 107},
    {SDLK_KP_ENTER, 108},     {SDLK_KP_MINUS, 109},
    {SDLK_KP_PERIOD, 110},    {SDLK_KP_DIVIDE, 111},
    {SDLK_NUMLOCKCLEAR, 144}, {SDLK_SCROLLLOCK, 145},
    {SDLK_SEMICOLON, 186},    {SDLK_EQUALS, 187},
    {SDLK_COMMA, 188},        {SDLK_MINUS, 189},
    {SDLK_PERIOD, 190},       {SDLK_SLASH, 191},
    {SDLK_BACKQUOTE, 192},    {SDLK_LEFTBRACKET, 219},
    {SDLK_BACKSLASH, 220},    {SDLK_RIGHTBRACKET, 221},
    {SDLK_QUOTE, 222},
};

int keypadDigit(SDL_Keycode key) {
    if (key == SDLK_KP_0)
        return 0;
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9)
        return key - SDLK_KP_1 + 1;
    return -1;
}
} // namespace

int frameworkKeyCode(std::int32_t sdlKey) {
    if (sdlKey >= SDLK_a && sdlKey <= SDLK_z)
        return kLetterA + (sdlKey - SDLK_a);
    if (sdlKey >= SDLK_0 && sdlKey <= SDLK_9)
        return kDigit0 + (sdlKey - SDLK_0);
    if (const int digit = keypadDigit(sdlKey); digit >= 0)
        return kNumpad0 + digit;
    if (sdlKey >= SDLK_F1 && sdlKey <= SDLK_F12)
        return kF1 + (sdlKey - SDLK_F1);
    if (sdlKey >= SDLK_F13 && sdlKey <= SDLK_F15)
        return kF13 + (sdlKey - SDLK_F13);
    for (const auto& [key, code] : kSingleKeys) {
        if (key == sdlKey)
            return code;
    }
    return 0;
}

int keyCharacter(std::int32_t sdlKey, std::uint16_t sdlMods) {
    if (const int digit = keypadDigit(sdlKey); digit >= 0)
        return '0' + digit;
    if (sdlKey == SDLK_RETURN || sdlKey == SDLK_KP_ENTER)
        return '\r';
    if (sdlKey < ' ' || sdlKey > '~')
        return 0;
    if (sdlKey >= 'a' && sdlKey <= 'z') {
        const bool upper = ((sdlMods & KMOD_SHIFT) != 0) != ((sdlMods & KMOD_CAPS) != 0);
        return upper ? sdlKey - 'a' + 'A' : sdlKey;
    }
    return sdlKey;
}

int keyFlags(std::int32_t sdlKey, std::uint16_t sdlMods) {
    int flags = 0;
    if (sdlMods & KMOD_SHIFT)
        flags |= Stage::efShiftDown;
    if (sdlMods & KMOD_CTRL)
        flags |= Stage::efCtrlDown;
    if (sdlMods & KMOD_ALT)
        flags |= Stage::efAltDown;
    if (sdlMods & KMOD_GUI)
        flags |= Stage::efCommandDown;
    if (sdlKey == SDLK_RSHIFT || sdlKey == SDLK_RCTRL || sdlKey == SDLK_RALT || sdlKey == SDLK_RGUI)
        flags |= Stage::efLocationRight;
    return flags;
}

} // namespace zindle
