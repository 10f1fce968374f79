// From the title to a match and back: joining, ESC, the aftermath and computer players.
#include "support/game_fixture.h"

#include "actors/cloud.h"
#include "input/input.h"

namespace zindle::test {
namespace {

constexpr const char* kMenuTrack = "Orbwright-Velvetdusk-16TakeThisOne.mp3";
constexpr const char* kMatchTrack = "Orbwright-Velvetdusk-08Brightloop(featuringQuietharbor).mp3";

using GameFlowTest = GameFixture;

TEST_F(GameFlowTest, NewBoardShowsTheTitleWithMenuMusicOverFifteenGridClouds) {
    ASSERT_EQ(game->clouds.size(), 15u);
    for (int n = 0; n < 15; ++n) {
        const Cloud& cloud = *game->clouds[n];
        const int column = n / 3;
        const int row = n % 3;
        EXPECT_EQ(cloud.size, n % 5);
        EXPECT_EQ(cloud.x1 % 4, 0);
        EXPECT_EQ(cloud.y1 % 4, 0);
        EXPECT_GE(cloud.x1, 60 + 72 * column);
        EXPECT_LE(cloud.x1, 128 + 72 * column);
        EXPECT_GE(cloud.y1, 80 + 60 * row);
        EXPECT_LE(cloud.y1, 136 + 60 * row);
    }
    EXPECT_EQ(game->aiFlags, std::vector<bool>(4, false));

    step();
    EXPECT_TRUE(game->heroes.empty());
    EXPECT_EQ(game->titleAlpha, 1);
    EXPECT_EQ(game->gameTimeout, 1);
    EXPECT_EQ(lastMusic(), kMenuTrack);
}

TEST_F(GameFlowTest, CloudFieldDrawsYBeforeXCloudAfterCloud) {
    // Cloud 0 (column 0, row 0) takes the first two numbers, y first; cloud 1 the next two.
    scriptRandom({0.99, 0.0, 0.0, 0.99});
    Game board;
    EXPECT_EQ(board.clouds[0]->y1, 4 * 34);
    EXPECT_EQ(board.clouds[0]->x1, 4 * 15);
    EXPECT_EQ(board.clouds[1]->y1, 4 * 35);
    EXPECT_EQ(board.clouds[1]->x1, 4 * 32);
}

TEST_F(GameFlowTest, SecondPlayerStartJoinsAndTheTitleOpensBeforeTheHeroMoves) {
    step();
    game->onInput(0, Input::P2START, Input::DOWN, false);
    game->onInput(0, Input::P2START, Input::DOWN, false); // already in: nothing new
    game->onInput(0, Input::P3START, Input::UP, false);   // a release: ignored
    ASSERT_EQ(game->heroes.size(), 1u);
    const Hero& hero = *game->heroes[0];
    EXPECT_EQ(hero.player, 1);
    EXPECT_EQ(hero.x, 220);

    step(199);
    EXPECT_GT(game->titleAlpha, 0);
    EXPECT_EQ(hero.y, 320); // drawn but not updated while the title opens
    EXPECT_EQ(game->gameTimeout, 0);
    EXPECT_EQ(lastMusic(), kMatchTrack);

    step(2);
    EXPECT_EQ(game->titleAlpha, 0);
    EXPECT_LT(hero.y, 320);
}

TEST_F(GameFlowTest, EscapeEmptiesTheMatchClosesTheTitleAndThenEndsTheProgram) {
    game->onInput(0, Input::P1START, Input::DOWN, false);
    game->onInput(0, Input::P4AI, Input::DOWN, true);
    step(300);
    ASSERT_EQ(game->heroes.size(), 2u);
    ASSERT_EQ(game->titleAlpha, 0);

    game->onInput(0, Input::ESC, Input::DOWN, false);
    EXPECT_TRUE(game->heroes.empty());
    EXPECT_EQ(game->aiFlags, std::vector<bool>(4, false));
    EXPECT_EQ(game->gameTimeout, 1);
    EXPECT_FALSE(media->closed());

    step(598);
    EXPECT_LT(game->titleAlpha, 1);
    EXPECT_EQ(lastMusic(), kMenuTrack);
    step(3);
    EXPECT_EQ(game->titleAlpha, 1);
    EXPECT_TRUE(game->heroes.empty()); // no computer player came back

    game->onInput(0, Input::ESC, Input::DOWN, false);
    EXPECT_TRUE(media->closed());
}

TEST_F(GameFlowTest, TheTitleClosesFiveSecondsAfterTheLastHeroFellOutUnlessSomebodyJoins) {
    auto emptyTheMatch = [this] {
        game->onInput(0, Input::P1START, Input::DOWN, false);
        step(201);
        game->heroes[0]->lives = 0;
        game->heroes[0]->y = 1300;
        step();
        ASSERT_TRUE(game->heroes.empty());
        clearSounds();
    };
    emptyTheMatch();
    step(1498);
    EXPECT_LT(game->gameTimeout, 1);
    EXPECT_EQ(game->titleAlpha, 0);
    EXPECT_EQ(lastMusic(), ""); // the match music is left playing
    step(4);
    EXPECT_EQ(game->gameTimeout, 1);
    EXPECT_GT(game->titleAlpha, 0);
    EXPECT_EQ(lastMusic(), kMenuTrack);

    game = std::make_unique<Game>();
    emptyTheMatch();
    step(600);
    game->onInput(0, Input::P3START, Input::DOWN, false);
    step();
    EXPECT_EQ(game->titleAlpha, 0);
    EXPECT_LT(game->heroes[0]->y, 320); // moves in the very next step
}

TEST_F(GameFlowTest, ControlWithAComputerKeyHandsTheSlotToTheComputerUntilPressedAgain) {
    game->onInput(0, Input::P3AI, Input::DOWN, false); // without CTRL: nothing
    EXPECT_FALSE(game->aiFlags[2]);

    game->onInput(0, Input::P3AI, Input::DOWN, true);
    EXPECT_TRUE(game->aiFlags[2]);
    EXPECT_TRUE(game->heroes.empty());
    step();
    ASSERT_EQ(game->heroes.size(), 1u);
    EXPECT_EQ(game->heroes[0]->player, 2);
    EXPECT_EQ(game->titleAlpha, 1); // the title counted no heroes before the spawn
    step();
    EXPECT_LT(game->titleAlpha, 1);

    step(250);
    game->onInput(0, Input::P3AI, Input::DOWN, true);
    EXPECT_FALSE(game->aiFlags[2]);
    ASSERT_EQ(game->heroes.size(), 1u); // the hero stays, now steered by its paddle
    Input::setKeyState(Input::P3RIGHT, true);
    step();
    EXPECT_DOUBLE_EQ(game->heroes[0]->dx, Input::paddles[2].getValue() * 0.75);
    EXPECT_GT(game->heroes[0]->dx, 0);
}

TEST_F(GameFlowTest, TheComputerPlayerCallTogglesItsOwnSlotOnlyAsTheControlKeyDoes) {
    struct Case {
        std::vector<int> calls;
        std::vector<bool> flags;
    };
    const Case cases[] = {
        {{0}, {true, false, false, false}},
        {{3, 1}, {false, true, false, true}},
        {{2, 2}, {false, false, false, false}},      // twice gives the slot back
        {{-1, 4, 99}, {false, false, false, false}}, // no such slot: nothing
    };
    for (const Case& c : cases) {
        Game byCall;
        Game byKey;
        for (int player : c.calls) {
            byCall.toggleComputerPlayer(player);
            if (player >= 0 && player < 4)
                byKey.onInput(0, Input::P1AI + player, Input::DOWN, true);
        }
        EXPECT_EQ(byCall.aiFlags, c.flags) << "calls starting " << c.calls.front();
        EXPECT_EQ(byKey.aiFlags, byCall.aiFlags) << "calls starting " << c.calls.front();
    }
}

} // namespace
} // namespace zindle::test
