#include "input/input.h"
#include "input/paddle.h"

#include <gtest/gtest.h>

namespace zindle {
namespace {

class PaddleTest : public ::testing::Test {
protected:
    void SetUp() override { Input::init(); }

    void steps(int n) {
        for (int i = 0; i < n; ++i)
            paddle.update();
    }

    Paddle paddle{{Input::P1LEFT}, {Input::P1RIGHT}, 1, false};
};

TEST_F(PaddleTest, HoldingOneSideRampsSmoothly) {
    Input::setKeyState(Input::P1RIGHT, true);
    steps(1);
    EXPECT_NEAR(paddle.getValue(), 0.02, 1e-12);
    steps(1);
    EXPECT_NEAR(paddle.getValue(), 0.0396, 1e-12);
    steps(8);
    EXPECT_NEAR(paddle.getValue(), 0.1829, 1e-4);
    steps(24);
    EXPECT_LT(paddle.getValue(), 0.5); // half way is passed between the 34th and 35th step
    steps(1);
    EXPECT_NEAR(paddle.getValue(), 0.5069, 1e-4);
    steps(65);
    EXPECT_NEAR(paddle.getValue(), 0.8674, 1e-4);
    steps(50);
    EXPECT_NEAR(paddle.getValue(), 0.9517, 1e-4);
}

TEST_F(PaddleTest, BothKeysHeldKeepFacingAndDecay) {
    Input::setKeyState(Input::P1RIGHT, true);
    steps(20);
    const double before = paddle.getValue();
    Input::setKeyState(Input::P1LEFT, true);
    steps(1);
    EXPECT_NEAR(paddle.getValue(), before * 0.98, 1e-12);
    EXPECT_EQ(paddle.getFacing(), 1);
}

TEST_F(PaddleTest, StickCountsOnlyBeyondHalf) {
    paddle.pad = 0.5;
    steps(1);
    EXPECT_EQ(paddle.getValue(), 0);
    paddle.pad = -0.5;
    steps(1);
    EXPECT_EQ(paddle.getValue(), 0);
    EXPECT_EQ(paddle.getFacing(), 1);

    paddle.pad = 0.51;
    steps(1);
    EXPECT_NEAR(paddle.getValue(), 0.02, 1e-12);
}

TEST_F(PaddleTest, StickAgainstKeyCancelsAndStickWithKeyDoesNotAddUp) {
    paddle.pad = -0.7;
    Input::setKeyState(Input::P1RIGHT, true);
    steps(5);
    EXPECT_EQ(paddle.getValue(), 0);

    Paddle keyOnly{{Input::P1LEFT}, {Input::P1RIGHT}, 1, false};
    paddle.pad = 0.9;
    for (int i = 0; i < 40; ++i) {
        paddle.update();
        keyOnly.update();
        ASSERT_EQ(paddle.getValue(), keyOnly.getValue()) << "step " << i;
    }
}

TEST_F(PaddleTest, FacingTurnsInTheVeryStepOfThePush) {
    Input::setKeyState(Input::P1RIGHT, true);
    steps(35);
    Input::setKeyState(Input::P1RIGHT, false);
    Input::setKeyState(Input::P1LEFT, true);
    steps(1);
    EXPECT_EQ(paddle.getFacing(), -1);
    EXPECT_NEAR(paddle.getValue(), 0.477, 1e-3);
}

} // namespace
} // namespace zindle
