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
    const struct {
        char letter;
        int key;
    } letters[] = {{'Q', Input::P2LEFT}, {'W', Input::P2RIGHT}, {'E', Input::P2START},
                   {'O', Input::P3LEFT}, {'P', Input::P3RIGHT}, {'I', Input::P3START},
                   {'Z', Input::P4LEFT}, {'X', Input::P4RIGHT}, {'C', Input::P4START}};
    for (const auto& l : letters) {
        EXPECT_EQ(Input::translateKey(l.letter), l.key) << l.letter;
        EXPECT_EQ(Input::translateKey(l.letter + 32), l.key) << l.letter;
    }
    EXPECT_EQ(Input::translateKey(Keyboard::LEFT), Input::P1LEFT);
    EXPECT_EQ(Input::translateKey(Keyboard::RIGHT), Input::P1RIGHT);
    EXPECT_EQ(Input::translateKey(Keyboard::SPACE), Input::P1START);
    EXPECT_EQ(Input::translateKey(Keyboard::NUMBER_1), Input::P1AI);
    EXPECT_EQ(Input::translateKey(Keyboard::NUMBER_4), Input::P4AI);
    EXPECT_EQ(Input::translateKey(Keyboard::ESCAPE), Input::ESC);
    // F1 shares its code with the lower-case p.
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

TEST_F(InputTest, UpdateStepsEveryPaddleAndInitResetsEverything) {
    ASSERT_EQ(Input::paddles.size(), 4u);
    EXPECT_EQ(Input::paddles[0].getFacing(), 1);
    EXPECT_EQ(Input::paddles[1].getFacing(), -1);
    EXPECT_EQ(Input::paddles[2].getFacing(), 1);
    EXPECT_EQ(Input::paddles[3].getFacing(), -1);

    Input::setKeyState(Input::P4LEFT, true);
    Input::setPad(0.9, 2);
    Input::update(1.0 / 300);
    EXPECT_NEAR(Input::paddles[3].getValue(), -0.02, 1e-12);
    EXPECT_NEAR(Input::paddles[2].getValue(), 0.02, 1e-12);
    EXPECT_EQ(Input::paddles[0].getValue(), 0);

    Input::init();
    EXPECT_FALSE(Input::getKeyState(Input::P4LEFT));
    EXPECT_EQ(Input::paddles[3].getValue(), 0);
    EXPECT_EQ(Input::paddles[2].pad, 0);
}

} // namespace
} // namespace zindle
