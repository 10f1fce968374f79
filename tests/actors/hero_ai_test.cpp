// Computer steering: decisions towards the MacGuffin and the gradual approach to full speed.
#include "support/game_fixture.h"

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
    }
};

TEST_F(HeroAiTest, SpeedsUpTowardsTheMacGuffinByTwoPercentOfTheGapEachStep) {
    Hero& hero = addHero(0);
    scriptRandom({0.6});
    hero.update(kStep, *game);
    EXPECT_EQ(hero.aiDesiredDx, 0.75);
    EXPECT_DOUBLE_EQ(hero.aiThinkCooldown, 0.3);
    EXPECT_NEAR(hero.dx, 0.015, 1e-12);

    game->macGuffin->x = 0; // it keeps its course until it thinks again
    for (int i = 1; i < 8; ++i) {
        hero.update(kStep, *game);
    }
    EXPECT_EQ(hero.aiDesiredDx, 0.75);
    EXPECT_NEAR(hero.dx, 0.1119, 5e-5);
    EXPECT_EQ(hero.lives, 2);
}

TEST_F(HeroAiTest, ExactlyBelowTheMacGuffinItHeadsRightAndWithoutOneItSlowsDown) {
    Hero& hero = addHero(0);
    game->macGuffin->x = hero.x;
    hero.update(0, *game);
    EXPECT_EQ(hero.aiDesiredDx, 0.75);

    hero.aiThinkCooldown = 0;
    game->macGuffin->x = hero.x - 0.001;
    hero.update(0, *game);
    EXPECT_EQ(hero.aiDesiredDx, -0.75);

    game->macGuffin.reset();
    hero.aiThinkCooldown = 0;
    hero.dx = 0.5;
    hero.update(kStep, *game);
    EXPECT_EQ(hero.aiDesiredDx, 0);
    EXPECT_DOUBLE_EQ(hero.dx, 0.49);
}

TEST_F(HeroAiTest, APlayerBeyondTheFlagsIsSteeredByItsPaddle) {
    game->aiFlags = {true, true};
    Hero& hero = addHero(3);
    Input::paddles[3].output = -1;
    hero.update(kStep, *game);
    EXPECT_EQ(hero.dx, -0.75);
}

} // namespace
} // namespace zindle::test
