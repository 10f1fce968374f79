// Computer steering: decisions towards the MacGuffin and the gradual approach to full speed.
#include "support/game_fixture.h"

#include "effects/mac_guffin.h"
#include "input/input.h"

namespace zindle::test {
namespace {

class HeroAiTest : public GameFixture {
protected:
    void SetUp() override {
        GameFixture::SetUp();
        game->clouds.clear();
        game->aiFlags[0] = true;
        game->macGuffin->x = 400;
        game->macGuffin->y = 100;
    }
};

TEST_F(HeroAiTest, SpeedsUpTowardsTheMacGuffinByTwoPercentOfTheGapEachStep) {
    Hero& hero = addHero(0);
    hero.update(kStep, *game);
    EXPECT_EQ(hero.aiDesiredDx, 0.75);
    EXPECT_NEAR(hero.dx, 0.015, 1e-12);
    for (int i = 1; i < 8; ++i) {
        hero.update(kStep, *game);
    }
    EXPECT_NEAR(hero.dx, 0.1119, 5e-5);
    EXPECT_EQ(hero.lives, 2);
}

TEST_F(HeroAiTest, DecidesAgainAfterARandomPauseOfUpToHalfASecond) {
    Hero& hero = addHero(0);
    scriptRandom({0.6});
    hero.update(kStep, *game);
    EXPECT_DOUBLE_EQ(hero.aiThinkCooldown, 0.3);

    game->macGuffin->x = 0; // moved away: the hero keeps its course until it thinks again
    hero.update(kStep, *game);
    EXPECT_EQ(hero.aiDesiredDx, 0.75);
}

TEST_F(HeroAiTest, ExactlyBelowTheMacGuffinItHeadsRightAndToTheRightOfItLeft) {
    Hero& hero = addHero(0);
    game->macGuffin->x = hero.x;
    hero.update(0, *game);
    EXPECT_EQ(hero.aiDesiredDx, 0.75);

    hero.aiThinkCooldown = 0;
    game->macGuffin->x = hero.x - 0.001;
    hero.update(0, *game);
    EXPECT_EQ(hero.aiDesiredDx, -0.75);
}

TEST_F(HeroAiTest, WithoutAMacGuffinTheSpeedDecays) {
    game->macGuffin.reset();
    Hero& hero = addHero(0);
    hero.dx = 0.5;
    hero.update(kStep, *game);
    EXPECT_EQ(hero.aiDesiredDx, 0);
    EXPECT_DOUBLE_EQ(hero.dx, 0.49);
}

TEST_F(HeroAiTest, APlayerBeyondTheFlagsIsSteeredByItsPaddle) {
    game->aiFlags.resize(2);
    Hero& hero = addHero(3);
    Input::paddles[3].output = -1;
    hero.update(kStep, *game);
    EXPECT_EQ(hero.dx, -0.75);
}

} // namespace
} // namespace zindle::test
