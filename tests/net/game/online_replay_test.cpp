// An online match recorded from its confirmed ticks: two peers of the real game play over the
// emulated network, and the replay made from what they confirmed re-simulates headless to every
// checksum, through rounds that start from match states.
#include "match/game.h"
#include "match/match_state_bounds.h"
#include "match/match_state_codec.h"
#include "net/online_game.h"
#include "net/online_replay_recorder.h"
#include "net/rollback_game_world.h"
#include "net/rollback_lab.h"
#include "net/running_game.h"
#include "replay/replay_format.h"
#include "replay/replay_reader.h"
#include "replay_run.h"
#include "simulation.h"

#include <gtest/gtest.h>

#include <iostream>

namespace zindle::net {
namespace {

// What one peer confirmed of a match: the state it began from, then every tick's inputs and the
// checksum of the state at that tick's start.
struct Confirmed {
    std::vector<std::uint8_t> start;
    std::vector<SeatInputs> inputs;
    std::vector<std::uint64_t> sums;
};

// Seats 0 and 1 are people on peers 0 and 1; seat 2 (peer 0's) goes to the computer.
Confirmed playTwoPeers(double matchMs) {
    sim::RunConfig config;
    config.seed = 11;
    sim::Simulation simulation(config);
    Game& game = simulation.game();
    Confirmed confirmed;
    confirmed.start = RunningGame(0, [&game] { return &game; }).captureState();
    RollbackLab lab({40, 8, 0.02, 0.005, 0.005}, 19);
    std::vector<RollbackGameWorld*> worlds;
    for (int p = 0; p < 2; ++p) {
        auto world = std::make_unique<RollbackGameWorld>(game, 70 + p);
        world->leave();
        RollbackGameWorld* raw = world.get();
        LabPeerSetup setup;
        setup.world = std::move(world);
        setup.config.self = p;
        setup.config.seatOwners = {0, 1, 0, -1};
        setup.inputs = [p](RollbackSession& session, std::int64_t frame) {
            session.setLocalInput(p, scriptedPlayer(p, frame));
            if (p == 0) {
                SeatInput computer;
                if (frame == 90)
                    computer.events = SeatInput::kToggleComputer;
                session.setLocalInput(2, computer);
            }
        };
        setup.phaseMs = 5.3 * p;
        setup.enter = [raw] { raw->enter(); };
        setup.leave = [raw] { raw->leave(); };
        lab.addPeer(std::move(setup));
    }
    lab.session(0).onConfirmedInputs(
        [&](std::uint64_t, const SeatInputs& inputs) { confirmed.inputs.push_back(inputs); });
    lab.run(matchMs);
    for (const auto& [tick, sum] : lab.trace(0).confirmed)
        confirmed.sums.push_back(sum);
    return confirmed;
}

// One round: its start, then ticks' inputs and states as a session reports them.
void recordRound(OnlineReplayRecorder& recorder, const Confirmed& match, std::size_t ticks) {
    recorder.roundStarted(match.start);
    for (std::size_t t = 0; t < ticks; ++t) {
        recorder.confirmedInputs(t, match.inputs[t]);
        recorder.confirmedState(t, match.sums[t]);
    }
}

TEST(OnlineReplayTest, ATwoPeerMatchReplaysToEveryChecksumThroughItsRounds) {
    const Confirmed match = playTwoPeers(25'000);
    const std::size_t ticks = std::min(match.inputs.size(), match.sums.size());
    ASSERT_GT(ticks, 20u * kTicksPerSecond);
    struct Case {
        const char* name;
        std::vector<std::size_t> rounds; // ticks confirmed in each round
    };
    const std::vector<Case> cases{
        {"one round", {ticks}},
        // The second round starts in the middle of a second of the recording.
        {"a round cut short, then another", {11 * kTicksPerSecond + 7, ticks}},
        // A round that ended before any tick was confirmed leaves nothing behind.
        {"a round with no confirmed tick", {0, ticks}},
    };
    for (const Case& c : cases) {
        ReplayHeader header;
        header.seed = 99; // the rounds' states, not the seed, make the match
        header.gameVersion = "test";
        header.drawingSeed = 0xD0;
        std::vector<std::uint8_t> file;
        OnlineReplayRecorder recorder(header, [&file](std::span<const std::uint8_t> bytes) {
            file.insert(file.end(), bytes.begin(), bytes.end());
            return true;
        });
        std::size_t steps = 0;
        for (std::size_t roundTicks : c.rounds) {
            recordRound(recorder, match, roundTicks);
            // The last tick's state is the newest confirmed: its tick is not yet written.
            steps += roundTicks > 0 ? (roundTicks - 1) * kStepsPerTick : 0;
        }
        recorder.finish();
        ASSERT_FALSE(recorder.failed()) << c.name;

        const Replay replay = parseReplay(file);
        EXPECT_TRUE(replay.finished) << c.name;
        EXPECT_EQ(replay.steps, steps) << c.name;
        EXPECT_EQ(replay.states.size(), std::count_if(c.rounds.begin(), c.rounds.end(),
                                                      [](std::size_t n) { return n > 0; }))
            << c.name;
        EXPECT_EQ(replay.header.drawingSeed, header.drawingSeed) << c.name;
        ASSERT_GE(replay.checksums.size(), 20u) << c.name;
        sim::ReplayRun run(replay, sim::RunConfig{});
        run.run();
        EXPECT_EQ(run.checker().checked(), replay.checksums.size()) << c.name;
        EXPECT_FALSE(run.checker().firstMismatch().has_value())
            << c.name << ": differs after step " << *run.checker().firstMismatch();
    }
}

// Nothing is written for a match left before any tick was confirmed, nor for a round whose
// state no reader would take (it ends the recording: it could not be played past it).
TEST(OnlineReplayTest, NothingUnplayableIsWritten) {
    const struct {
        const char* name;
        std::size_t stateBytes;
        std::size_t confirmedTicks;
    } cases[] = {
        {"left before any confirmed tick", 3, 1},
        {"a state beyond the bound", replay_format::kMaxStateBytes + 1, 400},
    };
    for (const auto& c : cases) {
        int writes = 0;
        OnlineReplayRecorder recorder({}, [&writes](std::span<const std::uint8_t>) {
            ++writes;
            return true;
        });
        recorder.roundStarted(std::vector<std::uint8_t>(c.stateBytes, 1));
        for (std::uint64_t t = 0; t < c.confirmedTicks; ++t) {
            recorder.confirmedInputs(t, {});
            recorder.confirmedState(t, 5);
        }
        recorder.finish();
        EXPECT_EQ(writes, 0) << c.name;
    }
}

// The largest state a real match reaches: the peak of seed 11's first win fountain (42.5 s in),
// looked for every tenth of a second through it.
std::vector<std::uint8_t> fountainPeakState() {
    sim::RunConfig config;
    config.seed = 11;
    config.aiPlayers = {1, 2, 3, 4};
    sim::Simulation simulation(config);
    Game& game = simulation.game();
    RunningGame running(0, [&game] { return &game; });
    while (game.tally.wins == 0 && simulation.frame() < 60 * 60)
        simulation.runFrame();
    std::vector<std::uint8_t> peak;
    for (int frame = 0; frame < 4 * 60; ++frame) {
        simulation.runFrame();
        if (frame % 6 == 0) {
            std::vector<std::uint8_t> bytes = running.captureState();
            if (bytes.size() > peak.size())
                peak = std::move(bytes);
        }
    }
    return peak;
}

// A round that starts in the middle of a win fountain, twice in a row, is recorded and reads
// back: the limits come from the largest state a game makes, which the real peak is well under.
TEST(OnlineReplayTest, RoundsStartedAtAFountainsPeakAreRecorded) {
    const std::vector<std::uint8_t> peak = fountainPeakState();
    ASSERT_GT(peak.size(), 512u << 10) << "no fountain at its peak";
    const MatchState state = readMatchState(peak);
    const std::size_t particles =
        state.particles.trailKinds.size() + state.particles.sparkleKinds.size();
    std::cout << "a win fountain's peak: " << peak.size() << " bytes, " << particles
              << " particles (bounds: " << replay_format::kMaxStateBytes << " bytes, "
              << kMaxMatchParticles << " particles)\n";
    EXPECT_LE(peak.size() * 2, replay_format::kMaxStateBytes);
    EXPECT_LE(particles * 2, kMaxMatchParticles);

    std::vector<std::uint8_t> file;
    std::vector<std::string> said;
    OnlineReplayRecorder recorder(
        {},
        [&file](std::span<const std::uint8_t> bytes) {
            file.insert(file.end(), bytes.begin(), bytes.end());
            return true;
        },
        [&said](const std::string& why) { said.push_back(why); });
    std::uint64_t tick = 0;
    for (int round = 0; round < 2; ++round) {
        recorder.roundStarted(peak);
        for (int t = 0; t < 60; ++t, ++tick) {
            recorder.confirmedInputs(tick, {});
            recorder.confirmedState(tick, 5);
        }
    }
    recorder.finish();
    EXPECT_TRUE(said.empty()) << said.front();
    const Replay replay = parseReplay(file);
    EXPECT_TRUE(replay.finished);
    ASSERT_EQ(replay.states.size(), 2u);
    EXPECT_EQ(replay.states[1].bytes, peak);
}

} // namespace
} // namespace zindle::net
