// The real game played online: four peers in one process take turns with the one game, each
// peer's match swapped in by snapshot, over the emulated network on a simulated clock. Two
// minutes of scripted players and computer players at each round trip; every peer must confirm
// the very same states.
#include "match/game.h"
#include "match/match_snapshot.h"
#include "net/rollback_game_world.h"
#include "net/rollback_lab.h"
#include "simulation.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

namespace zindle::net {
namespace {

constexpr int kPeers = 4;
constexpr double kMatchMs = 120 * 1000;

// Seats 0 and 1 are people; seats 2 and 3 hand themselves to the computer with CTRL+digit.
SeatInput scriptedSeat(int seat, std::int64_t frame) {
    if (seat < 2)
        return scriptedPlayer(seat, frame);
    SeatInput in;
    if (frame == 40 + 20 * seat)
        in.events = SeatInput::kToggleComputer;
    return in;
}

std::string traceText(const LabTrace& trace, std::size_t ticks) {
    std::ostringstream out;
    for (std::size_t i = 0; i < ticks; ++i)
        out << trace.confirmed[i].first << ' ' << trace.confirmed[i].second << '\n';
    return out.str();
}

class RollbackGameTest : public ::testing::TestWithParam<double> {};

TEST_P(RollbackGameTest, TwoMinutesOfFourPeersConfirmTheSameStates) {
    const double rtt = GetParam();
    sim::RunConfig config;
    config.seed = 3;
    sim::Simulation simulation(config);
    Game& game = simulation.game();

    MatchSnapshot start;
    start.capture(game);
    RollbackLab lab({rtt / 2, rtt / 10, 0.02, 0.005, 0.005}, 1000 + static_cast<int>(rtt));
    std::vector<RollbackGameWorld*> worlds;
    for (int p = 0; p < kPeers; ++p) {
        auto world = std::make_unique<RollbackGameWorld>(game, 500 + p);
        world->leave(); // every peer starts from the same fresh match
        worlds.push_back(world.get());
        LabPeerSetup setup;
        setup.world = std::move(world);
        setup.config.self = p;
        setup.config.seatOwners = {0, 1, 2, 3};
        setup.inputs = [p](RollbackSession& session, std::int64_t frame) {
            session.setLocalInput(p, scriptedSeat(p, frame));
        };
        setup.phaseMs = 4.1 * p;
        RollbackGameWorld* raw = worlds.back();
        setup.enter = [raw] { raw->enter(); };
        setup.leave = [raw] { raw->leave(); };
        lab.addPeer(std::move(setup));
    }
    std::vector<SeatInputs> confirmedInputs;
    lab.session(0).onConfirmedInputs(
        [&](std::uint64_t, const SeatInputs& inputs) { confirmedInputs.push_back(inputs); });
    lab.run(kMatchMs);

    std::size_t common = SIZE_MAX;
    for (int p = 0; p < kPeers; ++p)
        common = std::min(common, lab.trace(p).confirmed.size());
    ASSERT_GT(common, 115u * kTicksPerSecond);
    const std::string reference = traceText(lab.trace(0), common);
    for (int p = 1; p < kPeers; ++p)
        EXPECT_EQ(traceText(lab.trace(p), common), reference) << "peer " << p;

    std::int64_t rollbacks = 0;
    std::int64_t faded = 0;
    std::int64_t kept = 0;
    for (int p = 0; p < kPeers; ++p) {
        const RollbackStats& stats = lab.session(p).stats();
        rollbacks += stats.rollbacks;
        EXPECT_EQ(stats.desyncs, 0) << "peer " << p;
        EXPECT_LE(stats.deepestRollback, kMaxRollbackTicks);
        faded += worlds[p]->soundsFaded();
        kept += worlds[p]->soundsKept();
    }
    worlds[0]->enter();
    const Game::Tally tally = game.tally;
    worlds[0]->leave();
    EXPECT_GT(tally.catches, 10); // a match was played, not an empty title
    // The confirmed inputs, played on one plain local game with no network and no rollback,
    // give the very states every peer confirmed: what an online match's replay relies on.
    start.restore(game);
    RollbackGameWorld local(game, 9);
    SeatInputs before{};
    const std::size_t replayed = std::min(common, confirmedInputs.size());
    for (std::size_t tick = 0; tick < replayed; ++tick) {
        local.save(0);
        ASSERT_EQ(local.checksum(0), lab.trace(0).confirmed[tick].second) << "tick " << tick;
        local.applyInputs(tick, before, confirmedInputs[tick], false);
        for (int i = 0; i < kStepsPerTick; ++i)
            local.step(false);
        before = confirmedInputs[tick];
    }
    EXPECT_GT(replayed, 115u * kTicksPerSecond);

    std::printf("round trip %3.0f ms, 2 %% loss: %lld rollbacks on four peers (%lld steps "
                "simulated again); %zu ticks agreed; %lld catches, %lld wins; undone sounds: "
                "%lld heard again, %lld faded\n",
                rtt, static_cast<long long>(rollbacks),
                static_cast<long long>(lab.session(0).stats().resimulatedSteps), common,
                static_cast<long long>(tally.catches), static_cast<long long>(tally.wins),
                static_cast<long long>(kept), static_cast<long long>(faded));
}

// A world whose game goes wrong at one tick, every time that tick is simulated: a fault only
// this peer has, which rollbacks cannot wash out.
class FaultyWorld : public RollbackGameWorld {
public:
    FaultyWorld(Game& game, std::uint64_t seed, std::uint64_t faultTick)
        : RollbackGameWorld(game, seed), game_(game), faultTick_(faultTick) {}
    void applyInputs(std::uint64_t tick, const SeatInputs& before, const SeatInputs& now,
                     bool replaying) override {
        RollbackGameWorld::applyInputs(tick, before, now, replaying);
        if (tick == faultTick_)
            game_.boardTime += 1;
    }

private:
    Game& game_;
    std::uint64_t faultTick_;
};

// One peer's match goes wrong: the checksums disagree within a second, the host sends its
// state as bytes, the peer continues from it and every later confirmed state agrees again.
TEST(RollbackGameDesyncTest, HostsStateBytesCureADivergedPeer) {
    sim::RunConfig config;
    config.seed = 8;
    sim::Simulation simulation(config);
    Game& game = simulation.game();
    RollbackLab lab({30, 5, 0.02, 0, 0}, 77);
    std::vector<std::string> lines;
    for (int p = 0; p < 3; ++p) {
        auto world = p == 2 ? std::make_unique<FaultyWorld>(game, 40 + p, 5 * kTicksPerSecond)
                            : std::make_unique<RollbackGameWorld>(game, 40 + p);
        world->leave();
        RollbackGameWorld* raw = world.get();
        LabPeerSetup setup;
        setup.world = std::move(world);
        setup.config.self = p;
        setup.config.seatOwners = {0, 1, 2, -1};
        setup.inputs = [p](RollbackSession& session, std::int64_t frame) {
            session.setLocalInput(p, scriptedPlayer(p, frame));
        };
        setup.phaseMs = 5.0 * p;
        setup.enter = [raw] { raw->enter(); };
        setup.leave = [raw] { raw->leave(); };
        lab.addPeer(std::move(setup));
    }
    lab.session(2).onLog([&lines](const std::string& line) { lines.push_back(line); });
    lab.run(12 * 1000);

    EXPECT_GT(lab.session(2).stats().desyncs, 0);
    EXPECT_EQ(lab.session(2).stats().statesAdopted, 1);
    const auto& host = lab.trace(0).confirmed;
    const auto& cured = lab.trace(2).confirmed;
    const std::size_t common = std::min(host.size(), cured.size());
    ASSERT_GT(common, 11u * kTicksPerSecond);
    const std::size_t from = 8 * kTicksPerSecond; // a little after the cure
    EXPECT_TRUE(std::equal(host.begin() + from, host.begin() + common, cured.begin() + from));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_NE(lines[0].find("desync at tick"), std::string::npos) << lines[0];
    EXPECT_NE(lines.back().find("adopted the host's state"), std::string::npos) << lines.back();
}

INSTANTIATE_TEST_SUITE_P(RoundTrips, RollbackGameTest, ::testing::Values(0.0, 60.0, 150.0, 300.0),
                         [](const auto& info) {
                             return std::to_string(static_cast<int>(info.param)) + "ms";
                         });

} // namespace
} // namespace zindle::net
