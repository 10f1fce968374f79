// The game as a rollback world, up close: what a rollback does to sounds, and that the
// confirmed inputs of an online match replay to the same states on a plain local run.
#include "framework/sound.h"
#include "framework/sound_channel.h"
#include "loop/main.h"
#include "match/game.h"
#include "online/rollback_game_world.h"
#include "simulation.h"
#include "sound/beeper.h"

#include <gtest/gtest.h>

namespace zindle::net {
namespace {

class RollbackGameWorldTest : public ::testing::Test {
protected:
    RollbackGameWorldTest() : simulation(sim::RunConfig{}) {}

    const HeadlessMedia::ChannelRecord& record(const std::shared_ptr<SoundChannel>& c) {
        for (const auto& r : simulation.media().channels())
            if (r.handle == c->handle())
                return r;
        throw std::logic_error("no such channel");
    }

    std::size_t effectsStarted() {
        std::size_t n = 0;
        for (const auto& r : simulation.media().channels())
            n += r.music ? 0 : 1;
        return n;
    }

    sim::Simulation simulation;
};

// A sound started in a tick that a rollback undoes: heard again at the same tick it plays on
// untouched; not heard again it fades out over 50 ms (15 steps) and stops. Re-simulated steps
// start nothing.
TEST_F(RollbackGameWorldTest, UndoneSoundsPlayOnOnlyIfHeardAgain) {
    struct Case {
        const char* what;
        bool askedAgain;
    };
    for (const Case c : {Case{"heard again", true}, Case{"not heard again", false}}) {
        RollbackGameWorld world(simulation.game(), *Main::instance, 1);
        const SeatInputs none{};
        world.applyInputs(0, none, none, false);
        world.save(0);
        Sound& effect = *Beeper::sounds[0]->sounds[0];
        const auto channel = effect.play(0, 0, nullptr); // as a step of tick 0 would
        ASSERT_TRUE(channel) << c.what;
        const std::size_t effectsBefore = effectsStarted();

        world.load(0, 0);
        world.applyInputs(0, none, none, true);
        world.step(true);
        if (c.askedAgain) {
            Sound::silenced = true; // as the step being re-simulated would ask
            effect.play(0, 0, nullptr);
            Sound::silenced = false;
        }
        world.caughtUp();
        EXPECT_EQ(effectsStarted(), effectsBefore) << c.what;
        EXPECT_EQ(world.soundsFaded(), c.askedAgain ? 0 : 1) << c.what;

        world.applyInputs(1, none, none, false);
        for (int i = 0; i < 7; ++i)
            world.step(false);
        const double halfway = record(channel).volume;
        for (int i = 0; i < 8; ++i)
            world.step(false);
        EXPECT_EQ(record(channel).stopped, !c.askedAgain) << c.what;
        if (c.askedAgain)
            EXPECT_EQ(halfway, 1.0) << c.what;
        else
            EXPECT_NEAR(halfway, 8.0 / 15, 1e-9) << c.what;
        simulation.media().clearChannels();
    }
}

} // namespace
} // namespace zindle::net
