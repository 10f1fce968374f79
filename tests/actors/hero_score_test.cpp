// Score, crown, rainbow, sparkles, the fall and the win.
#include "support/game_fixture.h"

#include "effects/mac_guffin.h"
#include "effects/particles.h"

#include <cmath>

namespace zindle::test {
namespace {

class HeroScoreTest : public GameFixture {
protected:
    void SetUp() override {
        GameFixture::SetUp();
        game->clouds.clear();
    }

    Hero& placeHero(int player, double x, double y) {
        Hero& hero = addHero(player);
        hero.x = x;
        hero.y = y;
        hero.dy = 0;
        hero.invulnerable = false;
        return hero;
    }

    MacGuffin& idleMacGuffinAt(double x, double y) {
        MacGuffin& mg = *game->macGuffin;
        mg.state = MacGuffin::STATE_IDLE;
        mg.x = x;
        mg.y = y;
        return mg;
    }

    template <class T> int countOf(const std::vector<std::unique_ptr<TrailParticle>>& list) {
        int n = 0;
        for (const auto& p : list) {
            n += dynamic_cast<T*>(p.get()) != nullptr ? 1 : 0;
        }
        return n;
    }
};

TEST_F(HeroScoreTest, OnlyAStrictLeaderAmongTwoOrMoreGetsTheCrown) {
    Hero& alone = addHero(0);
    alone.setScore(3, *game);
    EXPECT_FALSE(alone.hasCrown);
    EXPECT_EQ(alone.highScore, 3);

    Hero& other = addHero(1);
    other.setScore(2, *game);
    EXPECT_FALSE(other.hasCrown);
    alone.setScore(3, *game); // now it leads 3 to 2
    EXPECT_TRUE(alone.hasCrown);

    other.setScore(3, *game); // a tie takes nothing
    EXPECT_TRUE(alone.hasCrown);
    EXPECT_FALSE(other.hasCrown);

    other.setScore(4, *game);
    EXPECT_TRUE(other.hasCrown);
    EXPECT_FALSE(alone.hasCrown);

    other.setScore(1, *game); // a holder set lower keeps it
    EXPECT_TRUE(other.hasCrown);
    EXPECT_EQ(other.highScore, 4);
}

TEST_F(HeroScoreTest, AFallSpillsTheScoreCostsALifeAndRespawns) {
    Hero& hero = placeHero(0, 100, 1281);
    hero.score = 3;
    hero.hasRainbow = true;
    hero.hasCrown = true;
    // Each spilled MacGuffin draws r1 (rise) then r2 (spread), then its own life.
    scriptRandom({0.0, 0.75, 0.5, 1.0 - 1e-9, 0.0, 0.5});
    clearSounds();
    EXPECT_TRUE(hero.update(kStep, *game));

    ASSERT_EQ(countOf<MacGuffinDropParticle>(game->trails), 3);
    const auto& first = dynamic_cast<MacGuffinDropParticle&>(*game->trails[0]);
    EXPECT_EQ(first.x, 108);
    EXPECT_EQ(first.y, 320);
    EXPECT_EQ(first.dx, 0);
    EXPECT_EQ(first.dy, -1);
    const auto& second = dynamic_cast<MacGuffinDropParticle&>(*game->trails[1]);
    EXPECT_EQ(second.x, 84);
    EXPECT_NEAR(second.dy, -1.75, 1e-6);

    EXPECT_EQ(hero.score, 0);
    EXPECT_EQ(hero.lives, 1);
    EXPECT_EQ(hero.x, 180);
    EXPECT_EQ(hero.y, 320);
    EXPECT_EQ(hero.dy, -2.6);
    EXPECT_TRUE(hero.invulnerable);
    EXPECT_FALSE(hero.hasRainbow);
    EXPECT_FALSE(hero.hasCrown);
    EXPECT_GE(game->shake, 1);
    ASSERT_EQ(soundCount("explosion"), 1);
    EXPECT_DOUBLE_EQ(media->channels().back().pan, (180.0 - 240) / 240); // at the start point
}

TEST_F(HeroScoreTest, AFallWithNoLivesLeftTakesTheHeroOutAndSkipsTheRest) {
    Hero& hero = placeHero(0, 100, 1281);
    hero.lives = 0;
    hero.hasCrown = true;
    hero.crowniness = 0.5;
    clearSounds();
    EXPECT_FALSE(hero.update(kStep, *game));
    EXPECT_EQ(soundCount("explosion"), 1);
    EXPECT_EQ(game->shake, 1);
    EXPECT_EQ(hero.crowniness, 0.5); // no crown step ran
    EXPECT_GT(hero.y, 1280);         // not respawned
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
}

TEST_F(HeroScoreTest, TheSixthCatchWinsInABurstOfRainbowsAndSlowMotion) {
    Hero& hero = placeHero(0, 100, 100);
    hero.score = 5;
    hero.lives = 2;
    MacGuffin& mg = idleMacGuffinAt(110, 90);
    clearSounds();
    EXPECT_FALSE(hero.update(0, *game));
    EXPECT_EQ(hero.score, 0);
    EXPECT_EQ(hero.lives, 0);
    EXPECT_EQ(game->shake, 1);
    EXPECT_EQ(game->slomo, 1);
    EXPECT_EQ(mg.state, MacGuffin::STATE_EXITING);
    EXPECT_EQ(soundVolumes("explosion"), (std::vector<double>{0.6, 0.8, 1.0}));

    ASSERT_EQ(countOf<WinParticle>(game->trails), 10);
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

TEST_F(HeroScoreTest, TheCrownFormsInHalfASecondWithTenChimes) {
    game->macGuffin.reset();
    Hero& hero = placeHero(0, 100, 100);
    hero.hasCrown = true;
    clearSounds();
    for (int i = 0; i < 150; ++i) {
        hero.update(kStep, *game);
    }
    EXPECT_EQ(hero.crowniness, 1);
    EXPECT_EQ(soundCount("pickup_coin"), 10);
    for (int i = 0; i < 20; ++i) {
        hero.update(kStep, *game);
    }
    EXPECT_EQ(soundCount("pickup_coin"), 10);

    hero.hasCrown = false;
    for (int i = 0; i < 75; ++i) {
        hero.update(kStep, *game);
    }
    EXPECT_NEAR(hero.crowniness, 0.5, 1e-9);
    EXPECT_EQ(soundCount("pickup_coin"), 10); // fading is silent
}

TEST_F(HeroScoreTest, SparklesComeFasterWithTheScoreUpToTenASecond) {
    game->macGuffin.reset();
    Hero& hero = placeHero(0, 100, 100);
    hero.score = 2;
    hero.update(0, *game);
    EXPECT_EQ(hero.sparkleCooldown, 0.25);
    ASSERT_EQ(game->sparkles.size(), 1u);
    EXPECT_EQ(dynamic_cast<HeroSparkle&>(*game->sparkles[0]).owner.get(), &hero);

    hero.score = 7;
    hero.sparkleCooldown = 0;
    hero.update(0, *game);
    EXPECT_DOUBLE_EQ(hero.sparkleCooldown, 0.1);
}

TEST_F(HeroScoreTest, ASparkleKeepsItsHeroAfterTheHeroLeaves) {
    game->macGuffin.reset();
    std::weak_ptr<Hero> weak = game->heroes.emplace_back(makeHero(0));
    weak.lock()->score = 1;
    weak.lock()->update(0, *game);
    game->heroes.clear();
    ASSERT_FALSE(weak.expired());
    while (!game->sparkles.empty()) {
        game->update(kStep);
    }
    EXPECT_TRUE(weak.expired());
}

TEST_F(HeroScoreTest, AStillHeroWithTheRainbowStampsNothingButRenewsTheCooldown) {
    game->macGuffin.reset();
    Hero& hero = placeHero(0, 100, 100);
    hero.hasRainbow = true;
    hero.update(0, *game);
    EXPECT_TRUE(game->trails.empty());
    EXPECT_EQ(hero.rainbowCooldown, 0.0025);
}

TEST_F(HeroScoreTest, TheRainbowLaysFiveBandsAcrossTheDirectionOfTravel) {
    game->macGuffin.reset();
    Hero& hero = placeHero(0, 100, 100);
    hero.hasRainbow = true;
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
