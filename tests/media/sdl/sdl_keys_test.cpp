#include "media/sdl/sdl_keys.h"

#include "framework/stage.h"

#include <SDL.h>
#include <gtest/gtest.h>

namespace zindle {
namespace {

TEST(SdlKeysTest, GameKeysGetTheFrameworkCodes) {
    EXPECT_EQ(frameworkKeyCode(SDLK_RETURN), 13);
    EXPECT_EQ(frameworkKeyCode(SDLK_ESCAPE), 27);
    EXPECT_EQ(frameworkKeyCode(SDLK_SPACE), 32);
    EXPECT_EQ(frameworkKeyCode(SDLK_LEFT), 37);
    EXPECT_EQ(frameworkKeyCode(SDLK_UP), 38);
    EXPECT_EQ(frameworkKeyCode(SDLK_RIGHT), 39);
    EXPECT_EQ(frameworkKeyCode(SDLK_DOWN), 40);
    EXPECT_EQ(frameworkKeyCode(SDLK_0), 48);
    EXPECT_EQ(frameworkKeyCode(SDLK_4), 52);
    EXPECT_EQ(frameworkKeyCode(SDLK_9), 57);
    // Letter keys give the upper-case code whatever the shift state.
    EXPECT_EQ(frameworkKeyCode(SDLK_a), 65);
    EXPECT_EQ(frameworkKeyCode(SDLK_q), 81);
    EXPECT_EQ(frameworkKeyCode(SDLK_z), 90);
}

TEST(SdlKeysTest, KeypadAndFunctionKeysRunInStep) {
    EXPECT_EQ(frameworkKeyCode(SDLK_KP_0), 96);
    EXPECT_EQ(frameworkKeyCode(SDLK_KP_1), 97);
    EXPECT_EQ(frameworkKeyCode(SDLK_KP_9), 105);
    EXPECT_EQ(frameworkKeyCode(SDLK_KP_MULTIPLY), 106);
    EXPECT_EQ(frameworkKeyCode(SDLK_KP_PLUS), 107);
    EXPECT_EQ(frameworkKeyCode(SDLK_KP_ENTER), 108);
    EXPECT_EQ(frameworkKeyCode(SDLK_KP_MINUS), 109);
    EXPECT_EQ(frameworkKeyCode(SDLK_KP_PERIOD), 110);
    EXPECT_EQ(frameworkKeyCode(SDLK_KP_DIVIDE), 111);
    EXPECT_EQ(frameworkKeyCode(SDLK_F1), 112);
    EXPECT_EQ(frameworkKeyCode(SDLK_F4), 115);
    EXPECT_EQ(frameworkKeyCode(SDLK_F12), 123);
    EXPECT_EQ(frameworkKeyCode(SDLK_F13), 124);
    EXPECT_EQ(frameworkKeyCode(SDLK_F15), 126);
    EXPECT_EQ(frameworkKeyCode(SDLK_F16), 0);
    EXPECT_EQ(frameworkKeyCode(SDLK_AUDIOPLAY), 0);
}

TEST(SdlKeysTest, CharactersFollowShiftAndCapsLockForLettersOnly) {
    EXPECT_EQ(keyCharacter(SDLK_a, KMOD_NONE), 'a');
    EXPECT_EQ(keyCharacter(SDLK_a, KMOD_LSHIFT), 'A');
    EXPECT_EQ(keyCharacter(SDLK_a, KMOD_CAPS), 'A');
    EXPECT_EQ(keyCharacter(SDLK_a, KMOD_CAPS | KMOD_RSHIFT), 'a');
    EXPECT_EQ(keyCharacter(SDLK_1, KMOD_LSHIFT), '1');
    EXPECT_EQ(keyCharacter(SDLK_KP_7, KMOD_NONE), '7');
    EXPECT_EQ(keyCharacter(SDLK_RETURN, KMOD_NONE), '\r');
    EXPECT_EQ(keyCharacter(SDLK_LEFT, KMOD_NONE), 0);
}

TEST(SdlKeysTest, ModifiersBecomeStageFlags) {
    EXPECT_EQ(keyFlags(SDLK_4, KMOD_LCTRL), Stage::efCtrlDown);
    EXPECT_EQ(keyFlags(SDLK_F4, KMOD_RALT), Stage::efAltDown);
    EXPECT_EQ(keyFlags(SDLK_RETURN, KMOD_LALT | KMOD_LSHIFT),
              Stage::efAltDown | Stage::efShiftDown);
    EXPECT_EQ(keyFlags(SDLK_x, KMOD_LGUI), Stage::efCommandDown);
    EXPECT_EQ(keyFlags(SDLK_x, KMOD_NUM | KMOD_CAPS), 0);
    EXPECT_EQ(keyFlags(SDLK_RCTRL, KMOD_RCTRL), Stage::efCtrlDown | Stage::efLocationRight);
    EXPECT_EQ(keyFlags(SDLK_LCTRL, KMOD_LCTRL), Stage::efCtrlDown);
}

} // namespace
} // namespace zindle
