// Score, crown, rainbow, sparkles, the fall and the win.
#include "support/game_fixture.h"

#include "base/rules.h"
#include "effects/particles.h"

namespace zindle::test {
namespace {

class HeroScoreTest : public GameFixture {
protected:
    void SetUp() override {
        GameFixture::SetUp();
        game->clouds.clear();
    }

    MacGuffin& idleMacGuffinAt(double x, double y) {
        MacGuffin& mg = *game->macGuffin;
        mg.state = MacGuffin::STATE_IDLE;
        mg.x = x;
        mg.y = y;
        return mg;
    }
};

TEST_F(HeroScoreTest, OnlyAStrictLeaderAmongTwoOrMoreGetsTheCrown) {
    Hero& first = addHero(0);
    first.setScore(3, *game);
    EXPECT_FALSE(first.hasCrown); // nobody to lead
    EXPECT_EQ(first.highScore, 3);

    Hero& second = addHero(1);
    second.setScore(2, *game);
    first.setScore(3, *game);
    EXPECT_TRUE(first.hasCrown);
    second.setScore(3, *game); // a tie takes nothing
    EXPECT_TRUE(first.hasCrown);
    EXPECT_FALSE(second.hasCrown);
    second.setScore(4, *game);
    EXPECT_TRUE(second.hasCrown);
    EXPECT_FALSE(first.hasCrown);
    second.setScore(1, *game); // a holder set lower keeps it
    EXPECT_TRUE(second.hasCrown);
    EXPECT_EQ(second.highScore, 4);
}

TEST_F(HeroScoreTest, AFallSpillsTheScoreCostsALifeAndRespawns) {
    Hero& hero = placeHero(0, 100, 1281);
    hero.score = 3;
    hero.hasRainbow = hero.hasCrown = true;
    // Each spilled MacGuffin draws r1 (rise) then r2 (spread), then its own life.
    scriptRandom({0.0, 0.75, 0.5, 1.0 - 1e-9, 0.0, 0.5});
    clearSounds();
    EXPECT_TRUE(hero.update(kStep, *game));

    ASSERT_EQ(game->trails.size(), 3u);
    const auto& first = dynamic_cast<MacGuffinDropParticle&>(*game->trails[0]);
    EXPECT_EQ(first.x, 108);
    EXPECT_EQ(first.y, 320);
    EXPECT_EQ(first.dy, -1);
    const auto& second = dynamic_cast<MacGuffinDropParticle&>(*game->trails[1]);
    EXPECT_EQ(second.x, 84);
    EXPECT_NEAR(second.dy, -1.75, 1e-6);

    EXPECT_EQ(hero.score, 0);
    EXPECT_EQ(hero.lives, 1);
    EXPECT_EQ(hero.x, 180);
    EXPECT_EQ(hero.y, 320);
    EXPECT_EQ(hero.dy, -2.6);
    EXPECT_FALSE(hero.hasRainbow || hero.hasCrown);
    EXPECT_GE(game->shake, 1);
    ASSERT_EQ(soundCount("explosion"), 1);
    EXPECT_DOUBLE_EQ(media->channels().back().pan, (180.0 - 240) / 240); // at the start point

    hero.y = 1281;
    hero.dy = 0;
    hero.lives = 0;
    hero.hasCrown = true;
    hero.crowniness = 0.5;
    EXPECT_FALSE(hero.update(kStep, *game));
    EXPECT_EQ(soundCount("explosion"), 2);
    EXPECT_EQ(hero.crowniness, 0.5);     // no later step ran
    EXPECT_GT(hero.y, rules::kFallOutY); // not respawned
    // Both falls are counted, the one that cost the last life too.
    EXPECT_EQ(game->tally.falls, 2);
    EXPECT_EQ(game->tally.catches, 0);
}

TEST_F(HeroScoreTest, ACatchScoresThrowsUpAndTakesTheRainbowFromEverybody) {
    Hero& other = placeHero(1, 400, 100);
    other.hasRainbow = true;
    Hero& hero = placeHero(0, 100, 100);
    hero.score = 2;
    MacGuffin& mg = idleMacGuffinAt(100, 100);
    clearSounds();
    EXPECT_TRUE(hero.update(0, *game));
    EXPECT_EQ(hero.score, 3);
    EXPECT_EQ(hero.dy, -1.8);
    EXPECT_TRUE(hero.invulnerable);
    EXPECT_TRUE(hero.hasRainbow);
    EXPECT_FALSE(other.hasRainbow);
    EXPECT_TRUE(hero.hasCrown);
    EXPECT_EQ(mg.state, MacGuffin::STATE_EXITING);
    EXPECT_EQ(soundCount("pickup_coin"), 1);
    EXPECT_EQ(game->tally.catches, 1);
    EXPECT_EQ(game->tally.wins, 0);
}

TEST_F(HeroScoreTest, TheSixthCatchWinsInABurstOfRainbowsAndSlowMotion) {
    Hero& hero = placeHero(0, 100, 100);
    hero.score = 5;
    MacGuffin& mg = idleMacGuffinAt(110, 90);
    clearSounds();
    EXPECT_FALSE(hero.update(0, *game));
    EXPECT_EQ(hero.score, 0);
    EXPECT_EQ(hero.lives, 0);
    EXPECT_EQ(game->shake, 1);
    EXPECT_EQ(game->slomo, 1);
    EXPECT_EQ(mg.state, MacGuffin::STATE_EXITING);
    EXPECT_EQ(soundVolumes("explosion"), (std::vector<double>{0.6, 0.8, 1.0}));
    // The winning catch is a catch and a win, and no fall.
    EXPECT_EQ(game->tally.catches, 1);
    EXPECT_EQ(game->tally.wins, 1);
    EXPECT_EQ(game->tally.falls, 0);

    ASSERT_EQ(game->trails.size(), 10u);
    const auto& first = dynamic_cast<WinParticle&>(*game->trails[0]);
    EXPECT_EQ(first.x, 110);
    EXPECT_EQ(first.y, 90);
    EXPECT_NEAR(first.dx, 0, 1e-12);
    EXPECT_NEAR(first.dy, 1, 1e-12); // 2 cos 0 - 1
    ASSERT_EQ(game->sparkles.size(), 1u);
    const auto& ascend = dynamic_cast<AscendParticle&>(*game->sparkles[0]);
    EXPECT_EQ(ascend.frame, "PLAYER_1_SUPERUP_RIGHT");
    EXPECT_EQ(ascend.x, 110);
}

TEST_F(HeroScoreTest, TheCrownFormsInHalfASecondWithTenChimesAndFadesSilently) {
    game->macGuffin.reset();
    Hero& hero = placeHero(0, 100, 100);
    hero.hasCrown = true;
    clearSounds();
    for (int i = 0; i < 150; ++i) {
        hero.update(kStep, *game);
    }
    EXPECT_EQ(hero.crowniness, 1);
    EXPECT_EQ(soundCount("pickup_coin"), 10);
    hero.hasCrown = false;
    for (int i = 0; i < 75; ++i) {
        hero.update(kStep, *game);
    }
    EXPECT_NEAR(hero.crowniness, 0.5, 1e-9);
    EXPECT_EQ(soundCount("pickup_coin"), 10);
}

TEST_F(HeroScoreTest, SparklesComeFasterWithTheScoreAndKeepTheirHeroAlive) {
    game->macGuffin.reset();
    std::weak_ptr<Hero> weak = game->heroes.emplace_back(makeHero(0));
    Hero& hero = *game->heroes[0];
    hero.score = 2;
    hero.update(0, *game);
    EXPECT_EQ(hero.sparkleCooldown, 0.25);
    ASSERT_EQ(game->sparkles.size(), 1u);
    hero.score = 7;
    hero.sparkleCooldown = 0;
    hero.update(0, *game);
    EXPECT_DOUBLE_EQ(hero.sparkleCooldown, 0.1);

    game->heroes.clear(); // the hero leaves while its sparkles live on
    ASSERT_FALSE(weak.expired());
    while (!game->sparkles.empty()) {
        game->update(kStep);
    }
    EXPECT_TRUE(weak.expired());
}

TEST_F(HeroScoreTest, TheRainbowLaysFiveBandsAcrossTheWayOnlyWhileMoving) {
    game->macGuffin.reset();
    Hero& hero = placeHero(0, 100, 100);
    hero.hasRainbow = true;
    hero.update(0, *game); // standing still: no stamp, but the cooldown renews
    EXPECT_TRUE(game->trails.empty());
    EXPECT_EQ(hero.rainbowCooldown, 0.0025);

    hero.rainbowCooldown = 0;
    hero.dy = 1; // falling straight down; hueDir stays 1
    hero.update(0, *game);
    ASSERT_EQ(game->trails.size(), 5u);
    const char* frames[] = {"RAINBOW_BLUE", "RAINBOW_GREEN", "RAINBOW_YELLOW", "RAINBOW_ORANGE",
                            "RAINBOW_PINK"};
    for (int band = -2; band <= 2; ++band) {
        const auto& p = dynamic_cast<RainbowParticle&>(*game->trails[band + 2]);
        EXPECT_EQ(p.frame, frames[band + 2]);
        EXPECT_EQ(p.x, 100 - band * 3);
        EXPECT_EQ(p.y, 100);
    }
}

} // namespace
} // namespace zindle::test
