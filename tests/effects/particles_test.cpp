// Particles: how long they live, how they move and what they draw.
#include "effects/particles.h"

#include "base/rules.h"
#include "effects/effects_fixture.h"
#include "match/game.h"

namespace zindle::test {
namespace {

class ParticlesTest : public EffectsTest {
protected:
    void SetUp() override {
        EffectsTest::SetUp();
        game = std::make_unique<Game>();
    }

    std::vector<std::string> names(const std::vector<NamedTile>& tiles) {
        std::vector<std::string> out;
        for (const auto& tile : tiles)
            out.push_back(tile.name);
        return out;
    }

    std::unique_ptr<Game> game;
};

TEST_F(ParticlesTest, LifeRunningOutExactlyEndsTheParticle) {
    AscendParticle ascend(10, 300, "PLAYER_1_UP_LEFT");
    EXPECT_TRUE(ascend.update(0.5, game->particleLists()));
    EXPECT_FALSE(ascend.update(0.5, game->particleLists()));

    ScriptedRandom random;
    random.push({0, 0});
    RainParticle rain(10, 10, 0, 0); // 0.25 s
    EXPECT_TRUE(rain.update(0.125, game->particleLists()));
    EXPECT_FALSE(rain.update(0.125, game->particleLists()));

    RainbowParticle lifeless(0, 10, 10, 0); // born with no life at all
    EXPECT_EQ(lifeless.lifeAlpha(), 1);
    EXPECT_FALSE(lifeless.update(0, game->particleLists()));
}

TEST_F(ParticlesTest, ZeroTimeMovesNothingButAHeroSparkle) {
    ScriptedRandom random;
    random.push({0.5, 0, 0.5, 0.5}); // rain life; sparkle angle 0, half way out, life
    RainParticle rain(10.7, 20.2, 1, -2);
    EXPECT_EQ(rain.x, 10);
    EXPECT_EQ(rain.y, 20);
    EXPECT_TRUE(rain.update(0, game->particleLists()));
    EXPECT_EQ(rain.x, 10);
    EXPECT_EQ(rain.y, 20);

    auto hero = std::make_shared<Entity>();
    hero->x = 100;
    hero->y = 100;
    HeroSparkle sparkle(hero); // starts 6 px below the hero
    EXPECT_EQ(sparkle.x, 100);
    EXPECT_EQ(sparkle.y, 106);
    EXPECT_EQ(sparkle.life, 0.5);
    EXPECT_TRUE(sparkle.update(0, game->particleLists()));
    EXPECT_EQ(sparkle.x, 100);
    EXPECT_DOUBLE_EQ(sparkle.y, 106 - 0.06);
}

TEST_F(ParticlesTest, SparklesPlaySevenFramesOnceOverTheirLife) {
    ScriptedRandom random;
    random.push({0});
    SimpleSparkle sparkle(50, 60, 0, 0); // 0.125 s
    std::vector<std::string> frames;
    for (int i = 0; i < 7; ++i) {
        sparkle.life = sparkle.initialLife * (1 - (i + 0.5) / 7); // the middle of each seventh
        sparkle.draw(*tiler);
        frames.push_back(drawn().at(0).name);
    }
    EXPECT_EQ(frames, (std::vector<std::string>{"SPARKLE_1", "SPARKLE_2", "SPARKLE_3", "SPARKLE_4",
                                                "SPARKLE_5", "SPARKLE_6", "SPARKLE_7"}));
    sparkle.life = 0; // dead: never a frame beyond the seventh
    sparkle.draw(*tiler);
    sparkle.life = -1;
    sparkle.draw(*tiler);
    EXPECT_TRUE(drawn().empty());
}

TEST_F(ParticlesTest, WinFountainLaysPinkAboveAndBlueBelowItsPathEitherWay) {
    for (double dx : {1.0, -1.0}) {
        game->trails.clear();
        game->sparkles.clear();
        WinParticle fountain(100, 100, dx, 0);
        fountain.update(0, game->particleLists());
        ASSERT_EQ(game->trails.size(), 5u);
        for (const auto& band : game->trails)
            band->draw(*tiler);
        const auto tiles = drawn();
        EXPECT_EQ(names(tiles),
                  (std::vector<std::string>{"RAINBOW_BLUE", "RAINBOW_GREEN", "RAINBOW_YELLOW",
                                            "RAINBOW_ORANGE", "RAINBOW_PINK"}));
        EXPECT_EQ(tiles[0].y, 106);
        EXPECT_EQ(tiles[4].y, 94);
        EXPECT_EQ(tiles[0].x, 100);
        EXPECT_EQ(tiles[4].x, 100);
        EXPECT_EQ(game->sparkles.size(), 1u);
    }
}

TEST_F(ParticlesTest, WinFountainAtRestLaysNoRibbonButSparklesEveryTwentiethOfItsSecond) {
    WinParticle fountain(100, 100, 0, 0);
    fountain.update(0, game->particleLists());
    EXPECT_TRUE(game->trails.empty());
    // Any time at all lets gravity set it moving; the sparkles keep their own beat.
    std::vector<std::size_t> sparkles{game->sparkles.size()};
    for (int i = 0; i < 7; ++i) {
        fountain.update(1.0 / 1280, game->particleLists()); // 1/128 s of the fountain's own clock
        sparkles.push_back(game->sparkles.size());
    }
    EXPECT_EQ(sparkles, (std::vector<std::size_t>{1, 1, 1, 1, 1, 1, 1, 2}));
}

TEST_F(ParticlesTest, WinFountainUpdatedFromTheTrailsItGrows) {
    // As the game's pass does: walk by index, re-reading the length, while the fountain appends
    // to the same array (and makes it reallocate).
    for (int i = 0; i < 10; ++i)
        game->trails.push_back(std::make_unique<WinParticle>(240, 160, i - 5, -2));
    for (int step = 0; step < 30; ++step) {
        for (std::size_t k = 0; k < game->trails.size();) {
            if (game->trails[k]->update(1.0 / rules::kStepsPerSecond, game->particleLists()))
                ++k;
            else
                game->trails.erase(game->trails.begin() + static_cast<std::ptrdiff_t>(k));
        }
    }
    EXPECT_GT(game->trails.size(), 500u);
    EXPECT_GT(game->sparkles.size(), 100u);
}

TEST_F(ParticlesTest, RainAtRestDrawsItsStreakAtOnePointDarkFirst) {
    RainParticle rain(30, 40, 0, 0);
    rain.draw(*tiler);
    const auto tiles = drawn();
    EXPECT_EQ(names(tiles),
              (std::vector<std::string>{"RAIN_DARK", "RAIN_DARK", "RAIN_LIGHT", "RAIN_LIGHT"}));
    for (const auto& tile : tiles) {
        EXPECT_EQ(tile.x, 30);
        EXPECT_EQ(tile.y, 40);
    }
}

TEST_F(ParticlesTest, SparkleKeepsItsHeroAliveAfterTheHeroLeaves) {
    auto hero = std::make_shared<Entity>();
    hero->x = 200;
    hero->y = 150;
    std::weak_ptr<Entity> watch = hero;
    game->sparkles.push_back(std::make_unique<HeroSparkle>(hero));
    hero.reset(); // the hero leaves the game
    EXPECT_FALSE(watch.expired());
    auto& sparkle = *game->sparkles[0];
    for (int i = 0; i < 10; ++i) {
        EXPECT_TRUE(sparkle.update(1.0 / rules::kStepsPerSecond, game->particleLists()));
        sparkle.draw(*tiler);
    }
    EXPECT_EQ(drawn().size(), 10u);
    game->sparkles.clear();
    EXPECT_TRUE(watch.expired());
}

} // namespace
} // namespace zindle::test
