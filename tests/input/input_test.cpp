#include "framework/keyboard.h"
#include "input/input.h"

#include <gtest/gtest.h>

namespace zindle {
namespace {

class InputTest : public ::testing::Test {
protected:
    void SetUp() override { Input::init(); }
};

TEST_F(InputTest, EveryLetterIsBoundInBothCases) {
    const char* letters = "QWEOPIZXC";
    for (int i = 0; letters[i] != 0; ++i) {
        const int key = Input::translateKey(letters[i]);
        EXPECT_NE(key, Input::NONE) << letters[i];
        EXPECT_EQ(Input::translateKey(letters[i] + 32), key) << letters[i];
    }
    // F1 shares its code with the lower-case p, so it steers like P.
    EXPECT_EQ(Input::translateKey(Keyboard::F1), Input::P3RIGHT);
}

TEST_F(InputTest, UnboundKeyIsNoneAndItsStateIsHarmless) {
    EXPECT_EQ(Input::translateKey(Keyboard::A), Input::NONE);
    EXPECT_EQ(Input::translateKey(Keyboard::UP), Input::NONE);
    EXPECT_FALSE(Input::getKeyState(Input::P1LEFT));
    Input::setKeyState(Input::NONE, true);
    EXPECT_TRUE(Input::getKeyState(Input::NONE));
}

TEST_F(InputTest, BothCasesOfALetterShareOneState) {
    Input::setKeyState(Input::translateKey('Q'), true);
    EXPECT_TRUE(Input::getKeyState(Input::P2LEFT));
    Input::setKeyState(Input::translateKey('q'), false);
    EXPECT_FALSE(Input::getKeyState(Input::P2LEFT));
}

TEST_F(InputTest, SetPadReachesOnlyTheFourPaddles) {
    Input::setPad(-0.9, 1);
    EXPECT_EQ(Input::paddles[1].pad, -0.9);
    for (int bad : {-1, 4, 5, 1000}) {
        Input::setPad(0.8, bad);
        for (const Paddle& p : Input::paddles)
            EXPECT_NE(p.pad, 0.8) << bad;
    }
}

} // namespace
} // namespace zindle
