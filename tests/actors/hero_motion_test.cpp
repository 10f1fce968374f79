// A hero's flight, steering and contacts with other heroes, clouds and the MacGuffin.
#include "support/game_fixture.h"

#include "actors/cloud.h"
#include "effects/mac_guffin.h"
#include "effects/particles.h"
#include "input/input.h"

namespace zindle::test {
namespace {

class HeroMotionTest : public GameFixture {
protected:
    void SetUp() override {
        GameFixture::SetUp();
        game->clouds.clear();
        game->macGuffin.reset();
    }

    // A hero in the game's list, standing still where put and open to contact.
    Hero& placeHero(int player, double x, double y) {
        Hero& hero = addHero(player);
        hero.x = x;
        hero.y = y;
        hero.dy = 0;
        hero.invulnerable = false;
        return hero;
    }

    Cloud& placeCloud(int x, int y, int size) {
        game->clouds.push_back(std::make_unique<Cloud>(x, y, size));
        game->clouds.back()->update(0);
        return *game->clouds.back();
    }

    // Steps until the hero stops rising; how far it rose.
    double rise(Hero& hero) {
        const double start = hero.y;
        double top = start;
        while (hero.dy < 0) {
            hero.update(kStep, *game);
            top = std::min(top, hero.y);
        }
        return start - top;
    }
};

TEST_F(HeroMotionTest, ThrownUpItPeaksAfter216StepsAndFallsOutOnStep671) {
    Hero& hero = addHero(0);
    hero.lives = 0;
    double top = hero.y;
    int topStep = 0;
    int step = 0;
    while (hero.update(kStep, *game)) {
        ++step;
        if (hero.y < top) {
            top = hero.y;
            topStep = step;
        }
        ASSERT_LT(step, 1000);
    }
    EXPECT_EQ(step + 1, 671);
    EXPECT_EQ(topStep, 216);
    EXPECT_NEAR(top, 39.6, 0.05);
}

TEST_F(HeroMotionTest, BouncesAndCatchesThrowTheHeroUpByFixedHeights) {
    Hero& hero = placeHero(0, 100, 600);
    hero.dy = -1.2;
    EXPECT_NEAR(rise(hero), 59, 1);
    hero.y = 600;
    hero.dy = -1.8;
    EXPECT_NEAR(rise(hero), 134, 1);
}

TEST_F(HeroMotionTest, ThePaddleSetsTheSpeedDirectly) {
    Hero& hero = placeHero(0, 100, 100);
    Input::paddles[0].output = 1;
    hero.update(kStep, *game);
    EXPECT_DOUBLE_EQ(hero.dx, 0.75);
    EXPECT_DOUBLE_EQ(hero.x, 100.75);
    EXPECT_EQ(hero.lives, 2);

    Input::paddles[0].output = 0;
    hero.update(kStep, *game);
    EXPECT_EQ(hero.dx, 0);
    EXPECT_DOUBLE_EQ(hero.x, 100.75);
}

TEST_F(HeroMotionTest, InvulnerabilityEndsInTheStepTheRiseSlowsTo075) {
    Hero& hero = addHero(0);
    for (int i = 0; i < 154; ++i) {
        hero.update(kStep, *game);
    }
    EXPECT_TRUE(hero.invulnerable);
    hero.update(kStep, *game);
    EXPECT_FALSE(hero.invulnerable);
}

TEST_F(HeroMotionTest, HeroesTouchWithinTwentyPixelsAndTheHigherGoesUp) {
    Hero& a = placeHero(0, 100, 100);
    Hero& b = placeHero(1, 120, 120);
    clearSounds();
    a.update(0, *game);
    EXPECT_EQ(a.dy, -1.2);
    EXPECT_EQ(b.dy, 1.2);
    EXPECT_EQ(a.dx, 0); // sideways speed is untouched
    EXPECT_EQ(soundCount("hit_hurt"), 1);

    b.update(0, *game); // the lower one pushes itself down and the other up
    EXPECT_EQ(b.dy, 1.2);
    EXPECT_EQ(a.dy, -1.2);
    EXPECT_EQ(soundCount("hit_hurt"), 2);

    a.dy = b.dy = 0;
    b.x = 120.001;
    a.update(0, *game);
    EXPECT_EQ(a.dy, 0);
    EXPECT_EQ(soundCount("hit_hurt"), 2);
}

TEST_F(HeroMotionTest, ExactlyLevelHeroesSendTheUpdatingOneUp) {
    Hero& a = placeHero(0, 100, 100);
    Hero& b = placeHero(1, 110, 100);
    a.update(0, *game);
    EXPECT_EQ(a.dy, -1.2);
    EXPECT_EQ(b.dy, 1.2);
}

TEST_F(HeroMotionTest, InvulnerableHeroesTakeNoPartInContacts) {
    Hero& a = placeHero(0, 100, 100);
    Hero& b = placeHero(1, 105, 105);
    b.invulnerable = true;
    b.dy = -2;
    clearSounds();
    a.update(0, *game);
    EXPECT_EQ(a.dy, 0);
    EXPECT_EQ(b.dy, -2);

    a.invulnerable = true;
    a.dy = -2;
    b.invulnerable = false;
    b.dy = 0;
    a.update(0, *game);
    EXPECT_EQ(b.dy, 0);
    EXPECT_EQ(soundCount("hit_hurt"), 0);
}

TEST_F(HeroMotionTest, ACloudIsTouchedUpToItsHalfExtentsPlusTen) {
    Cloud& cloud = placeCloud(200, 200, 4); // half-extents 20 by 9
    Hero& hero = placeHero(0, 230, 200);
    hero.dy = -0.5; // rising into it from below still bounces
    clearSounds();
    hero.update(0, *game);
    EXPECT_EQ(hero.dy, -1.2);
    EXPECT_EQ(cloud.hitCooldown, 1);
    EXPECT_EQ(game->trails.size(), 20u);
    for (const auto& particle : game->trails) {
        EXPECT_NE(dynamic_cast<RainParticle*>(particle.get()), nullptr);
    }
    EXPECT_EQ(soundCount("jump"), 1);

    Cloud& far = placeCloud(200, 300, 4);
    hero.x = 200;
    hero.y = 319;
    hero.dy = -2;
    hero.update(0, *game);
    EXPECT_EQ(hero.dy, -2); // already faster upwards
    EXPECT_EQ(far.hitCooldown, 1);

    Cloud& beside = placeCloud(400, 100, 4);
    hero.x = 430.001;
    hero.y = 100;
    hero.update(0, *game);
    EXPECT_EQ(beside.hitCooldown, 0);
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

TEST_F(HeroMotionTest, RainDrawsShareAngleAndSpreadPerDrop) {
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
}

TEST_F(HeroMotionTest, RainbowRainCarriesTheHerosSpeedFromBeforeTheBounce) {
    placeCloud(200, 200, 4);
    Hero& hero = placeHero(0, 200, 200);
    hero.hasRainbow = true;
    hero.dy = 0.4;
    scriptRandom({0.5, 0.25, 1.0, 0.0});
    hero.update(0, *game);
    const auto& first = dynamic_cast<RainParticle&>(*game->trails[0]);
    EXPECT_NEAR(first.dx, 0.5, 1e-12);
    EXPECT_NEAR(first.dy, 0.2, 1e-12);
    EXPECT_EQ(hero.dy, -1.2);
}

TEST_F(HeroMotionTest, TheMacGuffinIsCaughtWithinSixteenAcrossAndEighteenUpOrDown) {
    game->macGuffin = std::make_unique<MacGuffin>();
    MacGuffin& mg = *game->macGuffin;
    mg.state = MacGuffin::STATE_IDLE;
    mg.x = 200;
    mg.y = 100;
    Hero& hero = placeHero(0, 216, 100);
    hero.update(0, *game);
    EXPECT_EQ(hero.score, 0);
    EXPECT_EQ(mg.state, MacGuffin::STATE_IDLE);

    hero.x = 215.99;
    hero.y = 118;
    hero.update(0, *game);
    EXPECT_EQ(hero.score, 1);
    EXPECT_EQ(mg.state, MacGuffin::STATE_EXITING);
}

TEST_F(HeroMotionTest, AMacGuffinThatIsNotIdleCannotBeCaught) {
    game->macGuffin = std::make_unique<MacGuffin>();
    game->macGuffin->x = 200;
    game->macGuffin->y = 100;
    Hero& hero = placeHero(0, 200, 100);
    hero.update(0, *game);
    EXPECT_EQ(hero.score, 0);
}

} // namespace
} // namespace zindle::test
