// The board's step: slow motion, shake, and the order in which heroes, clouds, the MacGuffin
// and particles advance and leave.
#include "support/game_fixture.h"

#include "actors/cloud.h"
#include "effects/mac_guffin.h"
#include "effects/trail_particle.h"

namespace zindle::test {
namespace {

using GameUpdateTest = GameFixture;

// Appends one more particle of its kind on its first update, if asked to.
class BreedingParticle : public TrailParticle {
public:
    explicit BreedingParticle(bool breeds) : TrailParticle(0, 0, 1), breeds_(breeds) {}
    bool update(double dt, ParticleLists lists) override {
        if (breeds_) {
            breeds_ = false;
            lists.trails.push_back(std::make_unique<BreedingParticle>(false));
        }
        return TrailParticle::update(dt, lists);
    }

private:
    bool breeds_;
};

TEST_F(GameUpdateTest, GameTimeFollowsTheSlowMotionStopsOnAnEmptyStepAndShakeDies) {
    game->update(kStep);
    EXPECT_DOUBLE_EQ(game->boardTime, kStep);

    game->slomo = 1;
    const double before = game->boardTime;
    game->update(kStep);
    EXPECT_DOUBLE_EQ(game->slomo, 1 - 1.0 / 600);
    EXPECT_NEAR(game->boardTime - before, kStep / (600.0 * 600.0), 1e-15);
    EXPECT_GT(game->boardTime, before);

    clearSounds();
    game->shake = 0.5;
    game->titleAlpha = 0.7;
    const double slomo = game->slomo;
    const double time = game->boardTime;
    game->update(0);
    EXPECT_EQ(game->slomo, slomo);
    EXPECT_EQ(game->boardTime, time);
    EXPECT_EQ(game->shake, 0.5);
    EXPECT_EQ(game->titleAlpha, 0.7);
    EXPECT_EQ(lastMusic(), "");

    game->slomo = 0;
    game->shake = 0.001;
    game->update(kStep);
    EXPECT_EQ(game->shake, 0);
}

TEST_F(GameUpdateTest, TheHeroBehindARemovedOneIsUpdatedInTheSameStep) {
    game->titleAlpha = 0;
    game->clouds.clear();
    Hero& leaving = addHero(0);
    Hero& next = addHero(1);
    leaving.lives = 0;
    leaving.y = 1300;
    game->update(kStep);
    ASSERT_EQ(game->heroes.size(), 1u);
    EXPECT_EQ(game->heroes[0].get(), &next);
    EXPECT_LT(next.y, 320);
}

TEST_F(GameUpdateTest, HeroesMeetTheWorldWhereItStoodAtTheEndOfTheLastStep) {
    game->titleAlpha = 0;
    game->clouds.clear();
    // A MacGuffin that settles during this step, and a new cloud that reaches its place during
    // it (a cloud stands at the origin until its first update), each right on a hero.
    MacGuffin& mg = *game->macGuffin;
    mg.x = 300;
    mg.y = 100;
    mg.state = MacGuffin::STATE_ENTERING;
    mg.stateCooldown = 0.001;
    Hero& catcher = placeHero(0, 300, 100);
    const Cloud& cloud = *game->clouds.emplace_back(std::make_unique<Cloud>(100, 100, 4));
    Hero& jumper = placeHero(1, 100, 100);

    game->update(kStep);
    EXPECT_EQ(mg.state, MacGuffin::STATE_IDLE);
    EXPECT_EQ(catcher.score, 0) << "caught in the step it settled";
    EXPECT_EQ(cloud.x, 100);
    EXPECT_EQ(cloud.hitCooldown, 0) << "touched in the step it arrived";
    EXPECT_GT(jumper.dy, 0);

    game->update(kStep);
    EXPECT_EQ(catcher.score, 1);
    EXPECT_EQ(mg.state, MacGuffin::STATE_EXITING);
    EXPECT_GT(cloud.hitCooldown, 0);
    EXPECT_LT(jumper.dy, 0);
}

TEST_F(GameUpdateTest, HeroesWaitWhileTheTitleOpensButTheWorldMoves) {
    game->titleAlpha = 0.5;
    Hero& hero = addHero(0);
    game->trails.push_back(std::make_unique<BreedingParticle>(false));
    game->update(kStep);
    EXPECT_EQ(hero.y, 320);
    EXPECT_NE(game->clouds[0]->x, 0); // moved from (0, 0) to its resting point
    EXPECT_LT(game->macGuffin->stateCooldown, 1);
    EXPECT_LT(game->trails[0]->life, 1);
}

TEST_F(GameUpdateTest, DeadParticlesLeaveInPlaceAndOnesBornDuringThePassAreUpdatedInIt) {
    game->trails.push_back(std::make_unique<TrailParticle>(1, 0, 1));
    game->trails.push_back(std::make_unique<TrailParticle>(2, 0, kStep / 2)); // dies now
    game->trails.push_back(std::make_unique<BreedingParticle>(true));
    game->trails.push_back(std::make_unique<TrailParticle>(4, 0, kStep)); // dies now, exactly
    game->trails.push_back(std::make_unique<TrailParticle>(5, 0, 1));
    TrailParticle* breeder = game->trails[2].get();
    game->update(kStep);
    ASSERT_EQ(game->trails.size(), 4u);
    EXPECT_EQ(game->trails[0]->x, 1);
    EXPECT_EQ(game->trails[1].get(), breeder);
    EXPECT_EQ(game->trails[2]->x, 5);
    EXPECT_DOUBLE_EQ(game->trails[3]->life, 1 - kStep); // the newborn, updated too
}

TEST_F(GameUpdateTest, AComputerPlayerJoinsAndMovesInTheSameStepOnAnOpenField) {
    game->titleAlpha = 0;
    game->gameTimeout = 0;
    game->aiFlags[3] = true;
    game->update(kStep);
    ASSERT_EQ(game->heroes.size(), 1u);
    EXPECT_EQ(game->heroes[0]->player, 3);
    EXPECT_LT(game->heroes[0]->y, 320);
}

} // namespace
} // namespace zindle::test
