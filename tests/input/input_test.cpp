#include "framework/keyboard.h"
#include "input/input.h"
#include "input/key_code_of.h"

#include <gtest/gtest.h>

#include <iterator>
#include <utility>

namespace zindle {
namespace {

class InputTest : public ::testing::Test {
protected:
    void SetUp() override { Input::init(); }
};

// Each player's keys as printed on the keyboard: steer left, steer right, join, hand over to
// the computer (with CTRL).
struct PlayerKeys {
    int left, right, start, computer;
    int leftKey, rightKey, startKey, computerKey;
};
constexpr PlayerKeys kPlayers[] = {
    {Keyboard::LEFT, Keyboard::RIGHT, Keyboard::SPACE, '1', //
     Input::P1LEFT, Input::P1RIGHT, Input::P1START, Input::P1AI},
    {'Q', 'W', 'E', '2', Input::P2LEFT, Input::P2RIGHT, Input::P2START, Input::P2AI},
    {'O', 'P', 'I', '3', Input::P3LEFT, Input::P3RIGHT, Input::P3START, Input::P3AI},
    {'Z', 'X', 'C', '4', Input::P4LEFT, Input::P4RIGHT, Input::P4START, Input::P4AI},
};

bool isLetter(int code) {
    return code >= 'A' && code <= 'Z';
}

TEST_F(InputTest, EveryKeyBelongsToItsOwnPlayerAndActionInBothCases) {
    std::size_t bound = 1; // ESC
    EXPECT_EQ(Input::translateKey(Keyboard::ESCAPE), Input::ESC);
    for (std::size_t p = 0; p < std::size(kPlayers); ++p) {
        const PlayerKeys& keys = kPlayers[p];
        const std::pair<int, int> actions[] = {{keys.left, keys.leftKey},
                                               {keys.right, keys.rightKey},
                                               {keys.start, keys.startKey},
                                               {keys.computer, keys.computerKey}};
        for (const auto& [code, key] : actions) {
            EXPECT_EQ(Input::translateKey(code), key) << "player " << p + 1 << ", code " << code;
            ++bound;
            if (isLetter(code)) {
                EXPECT_EQ(Input::translateKey(code + 32), key)
                    << "player " << p + 1 << ", lower case of " << char(code);
                ++bound;
            }
        }
    }
    EXPECT_EQ(Input::keyBinds.size(), bound) << "a key bound that belongs to nobody";
    // F1 shares its code with the lower-case p, so it steers like P.
    EXPECT_EQ(Input::translateKey(Keyboard::F1), Input::P3RIGHT);
}

TEST_F(InputTest, EachPlayersKeysSteerThatPlayersPaddleOnly) {
    // Players 1 and 3 start facing right, 2 and 4 left.
    const int facing[] = {1, -1, 1, -1};
    ASSERT_EQ(Input::paddles.size(), std::size(kPlayers));
    for (std::size_t p = 0; p < std::size(kPlayers); ++p)
        EXPECT_EQ(Input::paddles[p].getFacing(), facing[p]) << "player " << p + 1;

    for (std::size_t p = 0; p < std::size(kPlayers); ++p) {
        for (const int code : {kPlayers[p].left, kPlayers[p].right}) {
            Input::init();
            const int steerCode = isLetter(code) ? code + 32 : code; // lower case, as typed
            Input::setKeyState(Input::translateKey(steerCode), true);
            for (int i = 0; i < 10; ++i)
                Input::update(1.0 / 300);
            for (std::size_t other = 0; other < Input::paddles.size(); ++other) {
                const double value = Input::paddles[other].getValue();
                if (other != p)
                    EXPECT_EQ(value, 0) << "code " << code << " steers player " << other + 1;
                else if (code == kPlayers[p].left)
                    EXPECT_LT(value, 0) << "player " << p + 1 << " left";
                else
                    EXPECT_GT(value, 0) << "player " << p + 1 << " right";
            }
        }
    }
}

TEST_F(InputTest, EveryMeaningHasTheKeyThatTranslatesBackToIt) {
    // Online play turns seat inputs back into key records with keyCodeOf: a meaning whose key
    // translated to another would reach the game as a different key.
    for (int key = Input::P1LEFT; key <= Input::ESC; ++key) {
        const int code = keyCodeOf(key);
        EXPECT_NE(code, 0) << key;
        EXPECT_EQ(Input::translateKey(code), key) << key;
    }
    EXPECT_EQ(keyCodeOf(Input::NONE), 0);
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
