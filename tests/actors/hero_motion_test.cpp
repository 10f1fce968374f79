// A hero's flight, steering and contacts with other heroes, clouds and the MacGuffin.
#include "support/game_fixture.h"

#include "effects/particles.h"
#include "input/input.h"

namespace zindle::test {
namespace {

// A point at (dx, dy) from the middle of a contact box, and whether it is in contact.
struct Probe {
    double dx, dy;
    bool touches;
};

// On and just past each edge of a box of half-extents w by h whose edges count as contact.
std::vector<Probe> edgeProbes(double w, double h) {
    return {{-w, 0, true},       {w, 0, true},         {0, -h, true},
            {0, h, true},        {-w, h, true},        {-w - 0.5, 0, false},
            {w + 0.5, 0, false}, {0, -h - 0.5, false}, {0, h + 0.5, false}};
}

class HeroMotionTest : public GameFixture {
protected:
    void SetUp() override {
        GameFixture::SetUp();
        game->clouds.clear();
        game->macGuffin.reset();
    }

    Cloud& placeCloud(int x, int y, int size) {
        game->clouds.push_back(std::make_unique<Cloud>(x, y, size));
        game->clouds.back()->update(0);
        return *game->clouds.back();
    }

    // Steps until the hero stops rising; how far it rose.
    double rise(Hero& hero, double dy) {
        hero.dy = dy;
        const double start = hero.y;
        while (hero.dy < 0) {
            hero.update(kStep, *game);
        }
        return start - hero.y;
    }
};

TEST_F(HeroMotionTest, ThrownUpItPeaksAfter216StepsAndFallsOutOnStep671) {
    Hero& hero = addHero(0);
    hero.lives = 0;
    double top = hero.y;
    int topStep = 0;
    int steps = 1;
    for (; hero.update(kStep, *game); ++steps) {
        if (hero.y < top) {
            top = hero.y;
            topStep = steps;
        }
        if (steps == 154 || steps == 155) { // invulnerable while rising faster than 0.75
            EXPECT_EQ(hero.invulnerable, steps == 154);
        }
        ASSERT_LT(steps, 1000);
    }
    EXPECT_EQ(steps, 671);
    EXPECT_EQ(topStep, 216);
    EXPECT_NEAR(top, 39.6, 0.05);

    EXPECT_NEAR(rise(placeHero(1, 100, 600), -1.2), 59, 1);  // a bounce
    EXPECT_NEAR(rise(placeHero(2, 300, 600), -1.8), 134, 1); // a catch
}

TEST_F(HeroMotionTest, ThePaddleSetsTheSpeedDirectly) {
    Hero& hero = placeHero(0, 100, 100);
    Input::paddles[0].output = 1;
    hero.update(kStep, *game);
    EXPECT_DOUBLE_EQ(hero.x, 100.75);
    Input::paddles[0].output = 0;
    hero.update(kStep, *game);
    EXPECT_EQ(hero.dx, 0);
    EXPECT_DOUBLE_EQ(hero.x, 100.75);
}

TEST_F(HeroMotionTest, HeroesTouchWithinTwentyPixelsAndTheHigherGoesUp) {
    Hero& a = placeHero(0, 100, 100);
    Hero& b = placeHero(1, 120, 120);
    clearSounds();
    a.update(0, *game);
    EXPECT_EQ(a.dy, -1.2);
    EXPECT_EQ(b.dy, 1.2);
    EXPECT_EQ(soundCount("hit_hurt"), 1);

    b.y = 100; // exactly level: the hero whose update runs goes up
    b.update(0, *game);
    EXPECT_EQ(b.dy, -1.2);
    EXPECT_EQ(a.dy, 1.2);

    // Within 20 px on both axes, edges included, from every side.
    for (const Probe& probe : edgeProbes(20, 20)) {
        a.dy = b.dy = 0;
        b.x = 100 + probe.dx;
        b.y = 100 + probe.dy;
        a.update(0, *game);
        EXPECT_EQ(a.dy != 0, probe.touches) << "at " << probe.dx << ", " << probe.dy;
    }
    clearSounds();

    a.dy = b.dy = 0;
    b.x = 110;
    b.invulnerable = true; // an invulnerable hero takes no part
    a.update(0, *game);
    EXPECT_EQ(a.dy, 0);
    EXPECT_EQ(soundCount("hit_hurt"), 0);
}

TEST_F(HeroMotionTest, ACloudIsTouchedUpToItsHalfExtentsPlusTenFromAnySide) {
    Cloud& cloud = placeCloud(200, 200, 4); // half-extents 20 by 9
    Hero& hero = placeHero(0, 230, 219);
    hero.dy = -0.5; // rising into it from below still bounces
    clearSounds();
    hero.update(0, *game);
    EXPECT_EQ(hero.dy, -1.2);
    EXPECT_EQ(cloud.hitCooldown, 1);
    EXPECT_EQ(game->trails.size(), 20u);
    EXPECT_EQ(soundCount("jump"), 1);

    // Half-extents plus 10 on both axes, edges included, from every side.
    for (const Probe& probe : edgeProbes(30, 19)) {
        game->clouds.clear();
        const Cloud& other = placeCloud(400, 100, 4);
        hero.x = 400 + probe.dx;
        hero.y = 100 + probe.dy;
        hero.update(0, *game);
        EXPECT_EQ(other.hitCooldown > 0, probe.touches) << "at " << probe.dx << ", " << probe.dy;
    }
}

TEST_F(HeroMotionTest, ACloudHalfWayThroughItsMoveGivesNoRainButStillBouncesAndIsHit) {
    Cloud& cloud = placeCloud(200, 200, 2);
    cloud.hitCooldown = 0.5;
    Hero& hero = placeHero(0, 200, 200);
    clearSounds();
    hero.update(0, *game);
    EXPECT_TRUE(game->trails.empty());
    EXPECT_EQ(soundCount("jump"), 0);
    EXPECT_EQ(hero.dy, -1.2);
    EXPECT_EQ(cloud.hitCooldown, 1);
}

TEST_F(HeroMotionTest, RainDrawsShareAngleAndSpreadPerDropAndCarriesTheRainbowsSpeed) {
    placeCloud(200, 200, 4);
    Hero& hero = placeHero(0, 200, 200);
    // Drop 1: r, a = 1/4 turn, m = 1, then its own life; drop 2: r, a = 1/2 turn, m = 1.
    scriptRandom({0.5, 0.25, 1.0, 0.0, 0.0, 0.5, 1.0, 0.0});
    hero.update(0, *game);
    const auto& first = dynamic_cast<RainParticle&>(*game->trails[0]);
    EXPECT_EQ(first.x, 220);
    EXPECT_EQ(first.y, 200);
    EXPECT_NEAR(first.dx, 0.3, 1e-12);
    EXPECT_NEAR(first.dy, -0.25, 1e-12);
    const auto& second = dynamic_cast<RainParticle&>(*game->trails[1]);
    EXPECT_EQ(second.x, 200);
    EXPECT_EQ(second.y, 191);

    game->trails.clear();
    game->clouds[0]->hitCooldown = 0;
    hero.hasRainbow = true;
    hero.dy = 0.4; // the velocity before the bounce counts
    scriptRandom({0.5, 0.25, 1.0, 0.0});
    hero.update(0, *game);
    const auto& fast = dynamic_cast<RainParticle&>(*game->trails[0]);
    EXPECT_NEAR(fast.dx, 0.5, 1e-12);
    EXPECT_NEAR(fast.dy, 0.2, 1e-12);
}

TEST_F(HeroMotionTest, OnlyTheIdleMacGuffinIsCaughtAndOnlyWithinItsReachOnEverySide) {
    // Whether a hero standing at (dx, dy) from a MacGuffin in state takes it.
    auto catches = [this](int state, double dx, double dy) {
        game->heroes.clear();
        game->macGuffin = std::make_unique<MacGuffin>();
        MacGuffin& mg = *game->macGuffin;
        mg.state = state;
        mg.x = 200;
        mg.y = 100;
        Hero& hero = placeHero(0, 200 + dx, 100 + dy);
        hero.update(0, *game);
        const bool caught = hero.score == 1;
        if (caught) {
            EXPECT_EQ(mg.state, MacGuffin::STATE_EXITING); // and it leaves
        }
        return caught;
    };
    EXPECT_FALSE(catches(MacGuffin::STATE_ENTERING, 0, 0));
    EXPECT_FALSE(catches(MacGuffin::STATE_EXITING, 0, 0));

    // Reach: less than 16 px across, up to and including 18 px up or down.
    const Probe probes[] = {
        {0, 0, true},                                              // on it
        {-15.5, 0, true},     {-16, 0, false},                     // left
        {15.5, 0, true},      {16, 0, false},                      // right
        {0, -18, true},       {0, -18.5, false},                   // above
        {0, 18, true},        {0, 18.5, false},                    // below
        {-15.5, -18, true},   {15.5, 18, true},  {-16, 18, false}, // corners
        {15.5, -18.5, false},                                      //
    };
    for (const Probe& probe : probes) {
        EXPECT_EQ(catches(MacGuffin::STATE_IDLE, probe.dx, probe.dy), probe.touches)
            << "hero at " << probe.dx << ", " << probe.dy;
    }
}

} // namespace
} // namespace zindle::test
