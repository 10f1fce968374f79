#include "net/toy_world.h"
#include "netcode/rollback_lab.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <tuple>

namespace zindle::net {
namespace {

constexpr double kSecondMs = 1000;

// A seat's scripted input: changes every few frames, a computer toggle now and then.
SeatInput scripted(int seat, std::int64_t frame) {
    const std::uint64_t phase = static_cast<std::uint64_t>(frame / (5 + 3 * seat));
    std::uint64_t h = (phase + 1) * 0x9E3779B97F4A7C15ull ^ static_cast<std::uint64_t>(seat);
    h ^= h >> 31;
    h *= 0xBF58476D1CE4E5B9ull;
    h ^= h >> 27;
    SeatInput in;
    in.held = static_cast<std::uint8_t>(h & SeatInput::kHeldMask);
    in.stick = static_cast<std::int8_t>(static_cast<int>((h >> 8) % 255) - kStickSteps);
    if (frame % 397 == 11 * seat)
        in.events = SeatInput::kToggleComputer;
    return in;
}

struct Room {
    RollbackLab lab;
    std::vector<ToyWorld*> worlds;

    // peers peers, peer p holding seat p; peer 0 hosts.
    Room(int peers, LinkConditions link, std::uint64_t seed, std::optional<int> delay = {})
        : lab(link, seed) {
        for (int p = 0; p < peers; ++p) {
            LabPeerSetup setup;
            auto world = std::make_unique<ToyWorld>();
            worlds.push_back(world.get());
            setup.world = std::move(world);
            setup.config.self = p;
            setup.config.host = 0;
            for (int s = 0; s < peers; ++s)
                setup.config.seatOwners[s] = s;
            setup.config.inputDelay = delay;
            setup.inputs = [p](RollbackSession& session, std::int64_t frame) {
                session.setLocalInput(p, scripted(p, frame));
            };
            setup.phaseMs = 3.7 * p; // frames of different peers do not coincide
            lab.addPeer(std::move(setup));
        }
    }

    // Every peer's confirmed trace agrees over the ticks all of them confirmed, from tick from
    // on; returns that common length.
    std::size_t agreedTicks(int peers, std::size_t from = 0) {
        std::size_t common = SIZE_MAX;
        for (int p = 0; p < peers; ++p)
            common = std::min(common, lab.trace(p).confirmed.size());
        for (int p = 1; p < peers; ++p) {
            const auto& a = lab.trace(0).confirmed;
            const auto& b = lab.trace(p).confirmed;
            for (std::size_t i = from; i < common; ++i) {
                EXPECT_EQ(a[i], b[i]) << "peer " << p << " differs at tick " << i;
                if (a[i] != b[i])
                    return 0;
            }
        }
        return common;
    }
};

// Two minutes of four peers at each round trip with 2 % loss, duplicates and reordering: every
// peer confirms the same states, the rollbacks stay within the window, and the peers keep up.
TEST(RollbackSessionTest, FourPeersAgreeOnEveryConfirmedTickAtEachRoundTrip) {
    const double roundTrips[] = {0, 60, 150, 300};
    for (double rtt : roundTrips) {
        LinkConditions link{rtt / 2, rtt / 10, 0.02, 0.01, 0.01};
        Room room(4, link, 42 + static_cast<std::uint64_t>(rtt));
        room.lab.run(120 * kSecondMs);
        const std::size_t agreed = room.agreedTicks(4);
        EXPECT_GT(agreed, 119u * kTicksPerSecond) << rtt << " ms";
        std::int64_t rollbacks = 0;
        for (int p = 0; p < 4; ++p) {
            const RollbackStats& stats = room.lab.session(p).stats();
            rollbacks += stats.rollbacks;
            EXPECT_LE(stats.deepestRollback, kMaxRollbackTicks);
            EXPECT_EQ(stats.desyncs, 0);
            EXPECT_EQ(stats.droppedMessages, 0);
        }
        EXPECT_GT(rollbacks, 0) << rtt << " ms";
        const RollbackStats& host = room.lab.session(0).stats();
        std::printf("round trip %3.0f ms: %lld rollbacks on four peers, delay %d, %zu ticks "
                    "agreed; the host withheld %lld steps to pace, %lld at the window's end\n",
                    rtt, static_cast<long long>(rollbacks), room.lab.session(0).inputDelay(),
                    agreed, static_cast<long long>(host.pacedSteps),
                    static_cast<long long>(host.stalledSteps));
    }
}

// Messages that come twice, late or out of order are repeats of what a peer already has or
// older news: however many, the confirmed states stay the same on every peer.
TEST(RollbackSessionTest, DuplicatedAndReorderedMessagesChangeNothing) {
    const LinkConditions rough{40, 30, 0.10, 0.20, 0.20};
    Room room(3, rough, 21);
    room.lab.run(30 * kSecondMs);
    EXPECT_GT(room.agreedTicks(3), 29u * kTicksPerSecond);
    EXPECT_GT(room.lab.network().counters().duplicated, 1000);
    for (int p = 0; p < 3; ++p)
        EXPECT_EQ(room.lab.session(p).stats().desyncs, 0);
}

// The round trip is the network's: pings wait up to a frame at each end before they are read,
// and the answers say how long, so a short network reads short even between 60 fps peers.
TEST(RollbackSessionTest, InputDelayFollowsTheRoundTrip) {
    struct Case {
        double rtt;
        int delay;
    };
    const Case cases[] = {{0, 0}, {2, 0}, {30, 0}, {60, 1}, {90, 2}, {150, 3}, {300, 3}};
    for (const Case& c : cases) {
        Room room(2, {c.rtt / 2, 0, 0, 0, 0}, 7);
        room.lab.run(6 * kSecondMs);
        for (int p = 0; p < 2; ++p) {
            EXPECT_EQ(room.lab.session(p).inputDelay(), c.delay) << c.rtt << " ms, peer " << p;
            EXPECT_NEAR(room.lab.session(p).roundTripMs(), c.rtt, 0.5)
                << c.rtt << " ms, peer " << p;
            // Each panel shows its own peer's figure; a peer not in the session has none.
            EXPECT_NEAR(room.lab.session(p).roundTripMsTo(1 - p), c.rtt, 0.5);
            EXPECT_EQ(room.lab.session(p).roundTripMsTo(5), -1);
        }
    }
}

TEST(RollbackSessionTest, AnswersWaitIsTakenOffButNeverBeyondTheTrip) {
    struct Case {
        const char* what;
        double sentMs, arrivedMs, heldMs;
        double expected;
    };
    const Case cases[] = {
        {"waited for a frame", 100, 120, 16, 4},
        {"answered on arrival", 100, 120, 0, 20},
        {"claims a wait longer than the trip", 100, 120, 25, 0},
        {"claims a negative wait", 100, 120, -5, 20},
        {"claims an absurd wait", 100, 120, 1e12, 0},
        {"claims no number", 100, 120, std::nan(""), 20},
        {"arrives before it was sent", 130, 120, 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(networkRoundTripMs(c.sentMs, c.arrivedMs, c.heldMs), c.expected) << c.what;
}

// Only the first answer to a ping of ours is a sample: copies and answers to pings never sent
// leave the figure alone. A ping from the other peer is answered at once, with its wait.
TEST(RollbackSessionTest, OnlyAnswersToOurOwnPingsCount) {
    struct Outbox : PeerTransport {
        void send(int, std::vector<std::uint8_t> bytes) override {
            std::string error;
            const auto m = decodePeerMessage(bytes, error);
            if (m && std::holds_alternative<PingMessage>(*m))
                pings.push_back(std::get<PingMessage>(*m));
        }
        std::vector<PingMessage> pings;
    } outbox;
    ToyWorld world;
    RollbackSession::Config config;
    config.seatOwners = {0, 1, -1, -1};
    RollbackSession session(config, world, outbox);
    session.advanceFrame(kStepsPerTick, 1000);
    ASSERT_EQ(outbox.pings.size(), 1u);
    const std::uint32_t id = outbox.pings[0].id;
    const std::tuple<const char*, PingMessage, double> answers[] = {
        {"to a ping never sent", {id + 1, true, 0}, -1},
        {"the real one, 10 ms after, having waited 4", {id, true, 4000}, 6},
        {"a copy of it", {id, true, 0}, 6},
    };
    for (const auto& [what, answer, roundTrip] : answers) {
        session.receive(1, encodePeerMessage(answer), 1016, 1010);
        session.advanceFrame(0, 1016);
        EXPECT_EQ(session.roundTripMs(), roundTrip) << what;
    }
    outbox.pings.clear();
    session.receive(1, encodePeerMessage(PingMessage{77, false, 0}), 1020, 1012.5);
    EXPECT_EQ(outbox.pings, (std::vector<PingMessage>{{77, true, 7500}}));
}

// With no loss and an input delay longer than the trip, nothing is ever predicted wrongly.
TEST(RollbackSessionTest, EnoughDelayMeansNoRollback) {
    Room room(2, {20, 0, 0, 0, 0}, 3, 3);
    room.lab.run(10 * kSecondMs);
    EXPECT_EQ(room.lab.session(0).stats().rollbacks, 0);
    EXPECT_EQ(room.worlds[0]->replayedSteps, 0);
    EXPECT_GT(room.agreedTicks(2), 590u);
}

// A peer cut off for a second: the other runs on to the window's end and waits there, then
// both agree once messages flow again.
TEST(RollbackSessionTest, SilentPeerHoldsTheOtherAtTheWindowEdge) {
    Room room(2, {10, 0, 0, 0, 0}, 5);
    room.lab.run(2 * kSecondMs);
    room.lab.network().cut(1, true);
    room.lab.run(3 * kSecondMs);
    const RollbackSession& waiting = room.lab.session(0);
    EXPECT_GT(waiting.stats().stalledSteps, 0);
    EXPECT_LE(waiting.tick(), waiting.confirmedTick() + kMaxRollbackTicks);
    room.lab.network().cut(1, false);
    room.lab.run(6 * kSecondMs);
    EXPECT_GT(room.agreedTicks(2), 5u * kTicksPerSecond);
    EXPECT_LE(waiting.stats().deepestRollback, kMaxRollbackTicks);
}

// A peer whose clock runs 2 % fast is held back by fractions of a frame: it takes fewer steps
// some frames, never stops, and stays within a couple of ticks of the other.
TEST(RollbackSessionTest, FastPeerSlowsByFractionsOfAFrame) {
    RollbackLab lab({15, 2, 0, 0, 0}, 9);
    for (int p = 0; p < 2; ++p) {
        LabPeerSetup setup;
        setup.world = std::make_unique<ToyWorld>();
        setup.config.self = p;
        setup.config.seatOwners = {0, 1, -1, -1};
        setup.clockRate = p == 1 ? 1.02 : 1.0;
        lab.addPeer(std::move(setup));
    }
    int fewest = kStepsPerTick;
    lab.run(30 * kSecondMs, [&](int peer, int steps, double) {
        if (peer == 1 && lab.nowMs() > kSecondMs)
            fewest = std::min(fewest, steps);
    });
    EXPECT_GT(lab.session(1).stats().pacedSteps, 0);
    EXPECT_EQ(fewest, kStepsPerTick - 1);
    EXPECT_EQ(lab.session(1).stats().stalledSteps, 0);
    const auto gap = static_cast<std::int64_t>(lab.session(1).tick()) -
                     static_cast<std::int64_t>(lab.session(0).tick());
    EXPECT_LE(std::abs(gap), 3);
}

// One peer's state goes wrong: the checksums disagree within a second or two, the host sends
// its state, the peer continues from it, and the later confirmed states agree again.
TEST(RollbackSessionTest, DesyncIsCuredByTheHostsState) {
    Room room(3, {20, 5, 0.02, 0, 0}, 11);
    room.worlds[2]->corruptAtStep = 5 * kStepsPerTick * kTicksPerSecond; // at five seconds
    std::vector<std::string> lines;
    room.lab.session(2).onLog([&lines](const std::string& line) { lines.push_back(line); });
    room.lab.run(12 * kSecondMs);
    EXPECT_GT(room.lab.session(2).stats().desyncs, 0);
    EXPECT_EQ(room.lab.session(2).stats().statesAdopted, 1);
    EXPECT_EQ(room.lab.session(1).stats().statesAdopted, 0);
    // Agreement again from the second after the fault was found.
    EXPECT_GT(room.agreedTicks(3, 7 * kTicksPerSecond), 11u * kTicksPerSecond);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.front().find("desync at tick"), std::string::npos) << lines.front();
}

// A peer whose own game keeps going wrong: the host sends it a few states, a couple of seconds
// apart, then no more, and the peer finds itself out of step and is the one to leave.
TEST(RollbackSessionTest, APeerThatKeepsDisagreeingGetsAFewStatesThenLeaves) {
    Room room(2, {20, 5, 0, 0, 0}, 13);
    room.worlds[1]->corruptEverySteps = kStepsPerTick * kTicksPerSecond / 2;
    room.lab.run(30 * kSecondMs);
    EXPECT_EQ(room.lab.session(0).stats().statesSent, 3);
    EXPECT_EQ(room.lab.session(1).stats().statesAdopted, 3);
    EXPECT_TRUE(room.lab.session(1).outOfStep());
    EXPECT_FALSE(room.lab.session(0).outOfStep());
}

// Claims of disagreement, however many and however fast, cost the host a bounded number of
// states: the first claim for a tick stands, states go two seconds apart, and a peer they do
// not bring into agreement gets no more.
TEST(RollbackSessionTest, WrongChecksumClaimsCostTheHostABoundedNumberOfStates) {
    struct Outbox : PeerTransport {
        void send(int, std::vector<std::uint8_t> bytes) override {
            std::string error;
            const auto m = decodePeerMessage(bytes, error);
            states += m && std::holds_alternative<StateMessage>(*m);
        }
        int states = 0;
    } outbox;
    ToyWorld world;
    RollbackSession::Config config;
    config.seatOwners = {0, -1, -1, -1};
    config.watchers = {1};
    RollbackSession host(config, world, outbox);
    std::vector<int> statesAt;
    for (int frame = 0; frame < 20 * kTicksPerSecond; ++frame) {
        const double nowMs = frame * 1000.0 / kTicksPerSecond;
        // Sixty claims a second, each for a tick the host has confirmed, each wrong.
        const std::uint64_t tick = host.confirmedTick() / kChecksumEveryTicks * kChecksumEveryTicks;
        host.receive(1, encodePeerMessage(ChecksumMessage{tick, 0xBAD + std::uint64_t(frame)}),
                     nowMs);
        host.advanceFrame(kStepsPerTick, nowMs);
        if (frame % kTicksPerSecond == kTicksPerSecond - 1)
            statesAt.push_back(outbox.states);
    }
    EXPECT_EQ(outbox.states, 3);
    EXPECT_LE(statesAt[1], 1) << "two seconds apart at most";
}

// A watcher that says it is still at tick 0 does not hold the match back: only seat holders
// count for the pace.
TEST(RollbackSessionTest, OnlySeatHoldersCountForThePace) {
    struct NullTransport : PeerTransport {
        void send(int, std::vector<std::uint8_t>) override {}
    } transport;
    ToyWorld world;
    RollbackSession::Config config;
    config.seatOwners = {0, -1, -1, -1};
    config.watchers = {1};
    RollbackSession host(config, world, transport);
    InputsMessage stuck; // no seats, present tick 0, for ever
    for (int frame = 0; frame < 5 * kTicksPerSecond; ++frame) {
        const double nowMs = frame * 1000.0 / kTicksPerSecond;
        host.receive(1, encodePeerMessage(stuck), nowMs);
        host.advanceFrame(kStepsPerTick, nowMs);
    }
    EXPECT_EQ(host.stats().pacedSteps, 0);
    EXPECT_EQ(host.tick(), 5u * kTicksPerSecond);
}

// A peer that holds no seat sends only acknowledgements, and follows the match all the same.
TEST(RollbackSessionTest, PeerWithoutSeatsFollowsTheMatch) {
    RollbackLab lab({25, 5, 0.02, 0, 0}, 4);
    for (int p = 0; p < 3; ++p) {
        LabPeerSetup setup;
        setup.world = std::make_unique<ToyWorld>();
        setup.config.self = p;
        setup.config.seatOwners = {0, 1, -1, -1};
        setup.config.watchers = {2};
        if (p < 2)
            setup.inputs = [p](RollbackSession& session, std::int64_t frame) {
                session.setLocalInput(p, scripted(p, frame));
            };
        lab.addPeer(std::move(setup));
    }
    lab.run(5 * kSecondMs);
    const auto& watcher = lab.trace(2).confirmed;
    ASSERT_GT(watcher.size(), 4u * kTicksPerSecond);
    EXPECT_TRUE(std::equal(watcher.begin(), watcher.end(), lab.trace(0).confirmed.begin()));
    EXPECT_EQ(lab.session(0).stats().droppedMessages, 0);
}

// Hostile or confused peers: nothing they send moves a seat they do not hold.
TEST(RollbackSessionTest, MessagesOutsideThePeersRightsAreDropped) {
    struct NullTransport : PeerTransport {
        void send(int, std::vector<std::uint8_t>) override {}
    } transport;
    ToyWorld world;
    RollbackSession::Config config;
    config.self = 0;
    config.seatOwners = {0, 1, -1, -1};
    RollbackSession session(config, world, transport);
    InputsMessage foreignSeat;
    foreignSeat.seats = {0};
    foreignSeat.ticks.resize(1);
    foreignSeat.ticks[0][0].held = SeatInput::kLeft;
    StateMessage notFromHost{0, {1, 2, 3}};
    const std::vector<std::pair<int, std::vector<std::uint8_t>>> messages = {
        {1, encodePeerMessage(foreignSeat)},   // peer 1 steering seat 0
        {7, encodePeerMessage(PingMessage{})}, // nobody in the match
        {1, encodePeerMessage(notFromHost)},   // only the host's state is taken
        {1, {0x5A, 2, 9}},                     // garbage
    };
    for (const auto& [peer, bytes] : messages)
        session.receive(peer, bytes, 0);
    EXPECT_EQ(session.stats().droppedMessages, 4);
    session.advanceFrame(kStepsPerTick, 0);
    EXPECT_EQ(world.state.held[0], SeatInput{});
    EXPECT_EQ(session.confirmedTick(), 0u); // seat 1 still unheard

    // Seat 1's real input for tick 0, then a forged second version of it, then inputs far
    // beyond anything an honest peer could have sent: only the first counts.
    auto inputs = [](std::uint64_t first, std::uint8_t held) {
        InputsMessage m;
        m.firstTick = first;
        m.seats = {1};
        m.ticks.resize(1);
        m.ticks[0][1].held = held;
        return encodePeerMessage(m);
    };
    session.receive(1, inputs(0, SeatInput::kRight), 0);
    session.receive(1, inputs(0, SeatInput::kLeft), 0);
    session.receive(1, inputs(1000, SeatInput::kLeft), 0);
    session.advanceFrame(kStepsPerTick, 17);
    EXPECT_EQ(session.confirmedTick(), 1u);
    EXPECT_EQ(session.stats().rollbacks, 1); // tick 0 had been predicted as nothing held
    EXPECT_EQ(world.state.held[1].held, SeatInput::kRight);
}

} // namespace
} // namespace zindle::net
