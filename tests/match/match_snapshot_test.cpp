// Snapshots taken at telling moments of a match: going back to one and playing the same inputs
// repeats every step exactly, whatever the game did in between, and shared objects stay shared.
#include "support/game_fixture.h"

#include "effects/particles.h"
#include "framework/random.h"
#include "input/input.h"
#include "match/match_snapshot.h"
#include "match/state_checksum.h"
#include "sound/beeper.h"
#include "sound/music.h"

#include <set>

namespace zindle::test {
namespace {

class MatchSnapshotTest : public GameFixture {
protected:
    enum class Moment { Title, MidMatch, Fountain, DepartedSparkles };

    void reach(Moment moment) {
        switch (moment) {
        case Moment::Title:
            step(10);
            break;
        case Moment::MidMatch:
            for (int player = 0; player < 4; ++player)
                game->toggleComputerPlayer(player);
            step(3000);
            break;
        case Moment::Fountain: {
            game->titleAlpha = 0;
            Hero& hero = placeHero(0, 100, 100);
            hero.score = 5;
            MacGuffin& mg = *game->macGuffin;
            mg.state = MacGuffin::STATE_IDLE;
            mg.x = 110;
            mg.y = 90;
            step(300); // the world is in slow motion, the fountain runs on its own clock
            ASSERT_GT(game->trails.size() + game->sparkles.size(), 1000u)
                << game->trails.size() + game->sparkles.size();
            break;
        }
        case Moment::DepartedSparkles:
            game->titleAlpha = 0;
            placeHero(0, 100, 100).score = 4;
            placeHero(1, 300, 100).score = 2;
            step(20);
            press(Input::ESC); // both heroes leave; their sparkles live on
            step(2);
            ASSERT_TRUE(game->heroes.empty());
            ASSERT_FALSE(game->sparkles.empty());
            break;
        }
    }

    // A key pressed and handed to the game, as a live key press reaches it.
    void press(int key, bool down = true, bool ctrl = false) {
        Input::setKeyState(key, down);
        game->onInput(0, key, down ? Input::DOWN : Input::UP, ctrl);
    }

    // n steps under a fixed script of joins, steering and computer switches; the checksum
    // after each.
    std::vector<std::uint64_t> play(int n) {
        std::vector<std::uint64_t> sums;
        for (int i = 0; i < n; ++i) {
            if (i == 5)
                press(Input::P2START);
            if (i == 8)
                press(Input::P2LEFT);
            if (i == 60)
                press(Input::P2LEFT, false);
            if (i == 30)
                press(Input::P3AI, true, true);
            step();
            sums.push_back(stateChecksum(*game));
        }
        return sums;
    }

    // Somewhere else entirely: other joins, held keys, an ESC.
    void wander() {
        press(Input::P4START);
        press(Input::P1RIGHT);
        step(200);
        press(Input::ESC);
        press(Input::P1START);
        step(50);
    }
};

TEST_F(MatchSnapshotTest, RestoringRepeatsEveryStepFromEachMoment) {
    const struct {
        Moment moment;
        const char* name;
    } cases[] = {
        {Moment::Title, "title"},
        {Moment::MidMatch, "mid-match"},
        {Moment::Fountain, "fountain"},
        {Moment::DepartedSparkles, "departed hero's sparkles"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        reach(c.moment);
        MatchSnapshot snapshot;
        EXPECT_TRUE(snapshot.empty());
        snapshot.capture(*game);
        EXPECT_FALSE(snapshot.empty());
        const std::uint64_t atCapture = stateChecksum(*game);
        const auto music = Music::desiredSound;
        std::vector<std::vector<std::shared_ptr<Sound>>> effectOrder;
        for (const auto& list : Beeper::sounds)
            effectOrder.push_back(list->sounds);

        const std::vector<std::uint64_t> first = play(120);
        wander();
        ASSERT_NE(stateChecksum(*game), atCapture);

        snapshot.restore(*game);
        EXPECT_EQ(stateChecksum(*game), atCapture);
        EXPECT_EQ(Music::desiredSound, music);
        for (std::size_t i = 0; i < Beeper::sounds.size(); ++i)
            EXPECT_EQ(Beeper::sounds[i]->sounds, effectOrder[i]) << "effect list " << i;
        EXPECT_EQ(play(120), first);

        // Into a game made afresh, which has none of the objects to reuse; from a copy.
        const MatchSnapshot copy = snapshot;
        snapshot.capture(*game); // the copy does not share the original's memory
        game = std::make_unique<Game>();
        copy.restore(*game);
        EXPECT_EQ(stateChecksum(*game), atCapture);
        EXPECT_EQ(play(120), first);
    }
}

TEST_F(MatchSnapshotTest, SparklesFollowTheRestoredHeroesAndFlaresTheRestoredMacGuffin) {
    game->titleAlpha = 0;
    placeHero(0, 100, 100).score = 4;
    placeHero(1, 300, 100).score = 3;
    step(20);
    MatchSnapshot live;
    live.capture(*game);
    game->heroes.erase(game->heroes.begin()); // player 0 leaves; its sparkles stay
    MatchSnapshot departed;
    departed.capture(*game);

    game = std::make_unique<Game>();
    live.restore(*game);
    ASSERT_EQ(game->heroes.size(), 2u);
    std::set<const Entity*> owners;
    for (const auto& particle : game->sparkles) {
        if (const auto* sparkle = dynamic_cast<const HeroSparkle*>(particle.get()))
            owners.insert(sparkle->owner.get());
    }
    EXPECT_EQ(owners, (std::set<const Entity*>{game->heroes[0].get(), game->heroes[1].get()}));
    ASSERT_FALSE(game->macGuffin->flares.empty());
    for (const auto& flare : game->macGuffin->flares)
        EXPECT_EQ(flare->host, game->macGuffin.get());

    departed.restore(*game);
    ASSERT_EQ(game->heroes.size(), 1u);
    owners.clear();
    for (const auto& particle : game->sparkles) {
        if (const auto* sparkle = dynamic_cast<const HeroSparkle*>(particle.get()))
            owners.insert(sparkle->owner.get());
    }
    ASSERT_EQ(owners.size(), 2u);
    EXPECT_TRUE(owners.contains(game->heroes[0].get()));
    // The departed hero is one object for all its sparkles, with its own values.
    for (const Entity* owner : owners) {
        if (owner != game->heroes[0].get()) {
            EXPECT_EQ(dynamic_cast<const Hero&>(*owner).player, 0);
        }
    }
}

TEST_F(MatchSnapshotTest, RestoreLeavesARandomScriptInPlace) {
    MatchSnapshot snapshot;
    snapshot.capture(*game);
    ScriptedRandom& script = scriptRandom({0.25}, 0.75);
    game->macGuffin.reset(); // restore must rebuild it without drawing
    game->clouds.clear();
    snapshot.restore(*game);
    EXPECT_EQ(script.drawn(), 0u);
    EXPECT_EQ(random(), 0.25);
}

} // namespace
} // namespace zindle::test
