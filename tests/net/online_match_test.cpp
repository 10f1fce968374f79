// Online matches between peers in one process, through the relay's own room directory on a
// clock the test moves: seat claims, ESC, silence, the host leaving, and hostile messages.
#include "net/online_match.h"

#include "framework/keyboard.h"
#include "input/input.h"
#include "net/toy_world.h"
#include "relay/room_directory.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cstring>
#include <deque>
#include <set>

namespace zindle::net {
namespace {

using relay::ConnectionId;

// The relay's rooms with their messages kept in per-connection queues.
struct LoopRelay : relay::Transport {
    explicit LoopRelay(bool hostClosesRoom) : rooms(rules(hostClosesRoom), *this, {}, counting()) {}
    static relay::RoomRules rules(bool hostClosesRoom) {
        relay::RoomRules r;
        r.hostLeavingClosesRoom = hostClosesRoom;
        return r;
    }
    static relay::RandomSource counting() {
        return [n = std::uint8_t{0}](std::span<std::uint8_t> out) mutable {
            for (auto& b : out)
                b = ++n;
        };
    }
    void send(ConnectionId id, relay::SharedBytes message) override {
        inbox[id].push_back(*message);
    }
    void close(ConnectionId id) override { closed.insert(id); }

    relay::TimePoint now{};
    relay::RoomDirectory rooms;
    std::map<ConnectionId, std::deque<relay::Bytes>> inbox;
    std::set<ConnectionId> closed;
};

struct LoopConnection : RelayConnection {
    LoopConnection(LoopRelay& relay, ConnectionId id) : relay(relay), id(id) {
        relay.rooms.connected(id, "127.0.0.1", relay.now);
    }
    void send(const relay::Message& message) override {
        if (!relay.closed.contains(id))
            relay.rooms.received(id, relay::encode(message), relay.now);
    }
    std::optional<relay::Message> poll() override {
        auto& queue = relay.inbox[id];
        if (queue.empty() || budget == 0)
            return std::nullopt;
        --budget;
        auto decoded = relay::decode(queue.front());
        queue.pop_front();
        return decoded.message;
    }
    std::string closedReason() const override {
        return relay.closed.contains(id) ? "the relay closed the connection" : "";
    }
    double lastPolledWaitMs() const override { return waitMs; }
    LoopRelay& relay;
    ConnectionId id;
    int budget = -1;   // messages the next polls may hand out; -1: all there are
    double waitMs = 0; // how long every message says it waited before it was polled
};

// The game stand-in: a toy world whose state outlives each round's world, as the game does.
struct StandInGame : OnlineGame {
    struct World : ToyWorld {
        explicit World(StandInGame& game) : game(game) {
            state = game.state;
            game.live = this;
        }
        ~World() override {
            game.state = state;
            game.live = nullptr;
        }
        StandInGame& game;
    };
    std::unique_ptr<RollbackWorld> newWorld() override { return std::make_unique<World>(*this); }
    void takeOutSeats(std::uint8_t mask) override {
        takenOut.push_back(mask);
        state.hash ^= mask;
    }
    std::vector<std::uint8_t> captureState() override {
        std::vector<std::uint8_t> bytes(sizeof(ToyWorld::State));
        std::memcpy(bytes.data(), &now(), bytes.size());
        return bytes;
    }
    bool restoreState(std::span<const std::uint8_t> bytes) override {
        if (bytes.size() != sizeof(ToyWorld::State))
            return false;
        std::memcpy(&state, bytes.data(), bytes.size());
        return true;
    }
    const ToyWorld::State& now() const { return live ? live->state : state; }
    ToyWorld::State state;
    World* live = nullptr;
    std::vector<std::uint8_t> takenOut;
};

struct Peer {
    Peer(LoopRelay& relay, ConnectionId id, std::optional<relay::RoomCodeText> room)
        : connection(relay, id), match({room, 0, 3000}, connection, game) {
        match.onConfirmedState([this](std::uint32_t round, std::uint64_t tick, std::uint64_t sum) {
            sums[{round, tick}] = sum;
        });
        match.onLog([this](const std::string& line) { logLines.push_back(line); });
    }
    void key(int code, bool down, std::uint8_t modifiers = 0) {
        InputRecord r;
        r.kind = down ? InputRecord::Kind::KeyDown : InputRecord::Kind::KeyUp;
        r.code = code;
        r.modifiers = modifiers;
        match.liveInput(r);
    }
    void tap(int code, std::uint8_t modifiers = 0) {
        key(code, true, modifiers);
        key(code, false, modifiers);
    }
    bool logged(const std::string& part) const {
        for (const auto& line : logLines)
            if (line.find(part) != std::string::npos)
                return true;
        return false;
    }
    LoopConnection connection;
    StandInGame game;
    OnlineMatch match;
    std::map<std::pair<std::uint32_t, std::uint64_t>, std::uint64_t> sums;
    std::vector<std::string> logLines;
};

class OnlineMatchTest : public ::testing::Test {
protected:
    void SetUp() override { Input::init(); }

    Peer& host() {
        peers.push_back(std::make_unique<Peer>(relay, ++nextId, std::nullopt));
        frames(2);
        return *peers.back();
    }
    Peer& joiner() {
        peers.push_back(std::make_unique<Peer>(relay, ++nextId, peers.front()->match.room()));
        frames(4);
        return *peers.back();
    }
    // Frames of every peer but the frozen ones, 60 a second on the shared clock.
    void frames(int count, const std::set<Peer*>& frozen = {}) {
        for (int i = 0; i < count; ++i) {
            nowMs += 1000.0 / 60;
            relay.now = relay::TimePoint{} + std::chrono::milliseconds(static_cast<int>(nowMs));
            for (auto& peer : peers)
                if (!frozen.contains(peer.get()))
                    peer->match.frame(kStepsPerTick, nowMs);
        }
    }
    // Every tick both peers confirmed in the same round has the same checksum.
    static int agreeingTicks(const Peer& a, const Peer& b) {
        int common = 0;
        for (const auto& [key, sum] : a.sums) {
            const auto other = b.sums.find(key);
            if (other == b.sums.end())
                continue;
            EXPECT_EQ(sum, other->second) << "round " << key.first << " tick " << key.second;
            ++common;
        }
        return common;
    }

    LoopRelay relay{true};
    std::vector<std::unique_ptr<Peer>> peers;
    ConnectionId nextId = 0;
    double nowMs = 0;
};

TEST_F(OnlineMatchTest, PlayersClaimSeatsInOrderAndPeersAgree) {
    Peer& a = host();
    Peer& b = joiner();
    ASSERT_EQ(a.match.phase(), OnlineMatch::Phase::InRoom);
    ASSERT_EQ(b.match.phase(), OnlineMatch::Phase::InRoom);
    EXPECT_TRUE(a.match.leads());
    EXPECT_FALSE(b.match.leads());
    EXPECT_EQ(b.match.peers(), (std::vector<int>{0, 1}));

    // Both press their join keys in the same frame: the relay hears A's claim first.
    a.key(Keyboard::SPACE, true);
    b.key('e', true); // B's second keyboard player
    frames(10);
    EXPECT_EQ(a.match.localPlayerOf(0), 0);
    for (int seat = 0; seat < kSeats; ++seat)
        EXPECT_EQ(b.match.localPlayerOf(seat), std::nullopt) << seat;
    // Its player presses again and gets the next free seat.
    b.key('e', false);
    b.key('e', true);
    frames(10);
    EXPECT_EQ(b.match.localPlayerOf(1), 1);
    // CTRL+4 on B hands a computer player the next free seat.
    b.tap('4', InputRecord::kCtrl);
    frames(10);
    EXPECT_EQ(b.match.localPlayerOf(2), 3);
    for (int i = 0; i < 30; ++i) {
        a.key(Keyboard::LEFT, i % 2 == 0);
        b.key('q', i % 3 == 0);
        frames(6);
    }
    frames(60);
    EXPECT_GT(agreeingTicks(a, b), 100);
    EXPECT_EQ(a.match.round(), b.match.round());
    ASSERT_EQ(b.match.remoteSeats().size(), 1u);
    EXPECT_EQ(b.match.remoteSeats()[0].seat, 0);
    // The computer toggle reached the game on both peers through seat 2.
    EXPECT_EQ(a.game.now().computers, 1u << 2);
    EXPECT_EQ(b.game.now().computers, 1u << 2);
}

// With no input delay a key pressed before a frame is in that frame's steps, so the picture
// drawn after them already shows it: a peer's own hero answers within the frame.
TEST_F(OnlineMatchTest, OwnKeyReachesOwnHeroInTheSameFrameWithoutDelay) {
    Peer& a = host();
    joiner();
    a.tap(Keyboard::SPACE);
    frames(10);
    ASSERT_EQ(a.match.localPlayerOf(0), 0);
    for (const bool down : {true, false, true}) {
        a.key(Keyboard::LEFT, down);
        frames(1);
        EXPECT_EQ(a.game.now().held[0].held & SeatInput::kLeft, down ? SeatInput::kLeft : 0);
    }
}

// Messages here wait a frame between the peers' frames; the wait each connection reports is
// taken off at both ends, so only what the carriers could not account for stays in the figure.
TEST_F(OnlineMatchTest, RoundTripLeavesOutTheWaitTheConnectionsReport) {
    const double frameMs = 1000.0 / 60;
    const double waits[] = {0, 5, 8};
    for (const double wait : waits) {
        peers.clear();
        Peer& a = host();
        Peer& b = joiner();
        a.connection.waitMs = b.connection.waitMs = wait;
        a.tap(Keyboard::SPACE);
        frames(120);
        for (Peer* peer : {&a, &b}) {
            ASSERT_NE(peer->match.session(), nullptr) << wait;
            EXPECT_NEAR(peer->match.session()->roundTripMs(), frameMs - 2 * wait, 0.01) << wait;
        }
    }
}

// The relay's word of who is already in the room may come a frame after the welcome: the
// newcomer must not lead a room of its own meanwhile.
TEST_F(OnlineMatchTest, JoinerHearingOfTheRoomLateDoesNotLeadIt) {
    Peer& a = host();
    peers.push_back(std::make_unique<Peer>(relay, ++nextId, a.match.room()));
    Peer& b = *peers.back();
    for (int frame = 0; frame < 30; ++frame) {
        b.connection.budget = 1;
        frames(1);
        if (b.match.phase() == OnlineMatch::Phase::InRoom) {
            EXPECT_FALSE(b.match.leads()) << "frame " << frame;
        }
    }
    b.connection.budget = -1;
    frames(10);
    EXPECT_FALSE(b.logged("leading round"));
    EXPECT_EQ(b.match.round(), a.match.round());
    EXPECT_EQ(b.match.peers(), (std::vector<int>{0, 1}));
}

TEST_F(OnlineMatchTest, EscTakesOnlyThatPeersSeatsOut) {
    Peer& a = host();
    Peer& b = joiner();
    Peer& c = joiner();
    a.tap(Keyboard::SPACE);
    frames(5);
    b.tap(Keyboard::SPACE);
    frames(5);
    c.tap(Keyboard::SPACE);
    frames(30);
    ASSERT_EQ(b.match.localPlayerOf(1), 0);
    // Each peer's seats held elsewhere: the panels that leave out this keyboard's keys.
    const std::pair<Peer*, std::uint8_t> elsewhere[] = {{&a, 0b110}, {&b, 0b101}, {&c, 0b011}};
    for (const auto& [peer, seats] : elsewhere)
        EXPECT_EQ(peer->match.seatsHeldElsewhere(), seats) << peer->match.self();
    b.tap(Keyboard::ESCAPE);
    EXPECT_EQ(b.match.seatsHeldElsewhere(), 0);
    EXPECT_EQ(b.match.phase(), OnlineMatch::Phase::Left);
    EXPECT_EQ(b.match.leftBecause(), "");
    EXPECT_EQ(b.game.takenOut.back(), 0x0F); // its own screen goes back to the title
    frames(60);
    for (Peer* other : {&a, &c}) {
        EXPECT_EQ(other->match.phase(), OnlineMatch::Phase::InRoom);
        EXPECT_EQ(other->match.peers(), (std::vector<int>{0, 2}));
    }
    EXPECT_EQ(a.match.seatsHeldElsewhere(), 0b100);
    EXPECT_EQ(c.match.seatsHeldElsewhere(), 0b001);
    // The leader took B's hero out; C took the leader's match over with it gone.
    ASSERT_FALSE(a.game.takenOut.empty());
    EXPECT_EQ(a.game.takenOut.back(), 1u << 1);
    EXPECT_EQ(c.match.round(), a.match.round());
    EXPECT_GT(agreeingTicks(a, c), 30);
}

TEST_F(OnlineMatchTest, SilentPeerIsLeftOutAndSilentHostSendsPeersHome) {
    Peer& a = host();
    Peer& b = joiner();
    Peer& c = joiner();
    c.tap(Keyboard::SPACE);
    frames(20);
    // C goes quiet (its relay connection too): A plays on without it once 3 s have passed.
    frames(60 * 3 + 30, {&c});
    EXPECT_EQ(a.match.peers(), (std::vector<int>{0, 1}));
    EXPECT_EQ(a.game.takenOut.back(), 1u << 0);
    EXPECT_EQ(b.match.phase(), OnlineMatch::Phase::InRoom);
    // Then the host goes quiet: B returns to its title with a line saying why.
    frames(60 * 3 + 30, {&a, &c});
    EXPECT_EQ(b.match.phase(), OnlineMatch::Phase::Left);
    EXPECT_FALSE(b.match.leftBecause().empty());
}

TEST_F(OnlineMatchTest, HostLeavingClosesTheRoomForEveryone) {
    Peer& a = host();
    Peer& b = joiner();
    b.tap(Keyboard::SPACE);
    frames(20);
    a.tap(Keyboard::ESCAPE);
    frames(2);
    EXPECT_EQ(b.match.phase(), OnlineMatch::Phase::Left);
    EXPECT_EQ(b.match.leftBecause(), "The host left: the room is closed");
}

TEST_F(OnlineMatchTest, JoinFailuresEndWithOneLine) {
    host();
    relay::RoomCodeText wrong = *peers.front()->match.room();
    wrong[5] = wrong[5] == 'A' ? 'B' : 'A';
    peers.push_back(std::make_unique<Peer>(relay, ++nextId, wrong));
    frames(3);
    EXPECT_EQ(peers.back()->match.phase(), OnlineMatch::Phase::Left);
    EXPECT_EQ(peers.back()->match.leftBecause(),
              "Could not join: There is no such room (any more)");

    // A relay that closes the connection under a peer in a room.
    Peer& b = joiner();
    relay.closed.insert(b.connection.id);
    frames(1);
    EXPECT_EQ(b.match.phase(), OnlineMatch::Phase::Left);
    EXPECT_EQ(b.match.leftBecause().rfind("Lost the room: ", 0), 0u);
}

// A peer speaking for itself through the relay, saying what an honest game never would.
TEST_F(OnlineMatchTest, HostileMessagesAreDroppedAndPlayGoesOn) {
    Peer& a = host();
    Peer& b = joiner();
    a.tap(Keyboard::SPACE);
    frames(20);
    LoopConnection rogue(relay, ++nextId);
    rogue.send(relay::JoinRoom{*a.match.room()});
    frames(5);
    const std::uint32_t round = a.match.round();

    InputsMessage inputs; // inputs for seat 0, which A holds
    inputs.seats = {0};
    inputs.ticks.resize(1);
    inputs.ticks[0][0].held = SeatInput::kLeft;
    Envelope forged;
    forged.round = round;
    forged.body = encodePeerMessage(inputs);
    RoundStart takeover; // a round's start from a peer that does not lead the room
    takeover.holders = {2, 2, 2, 2};
    takeover.peers = {0, 1, 2};
    takeover.state.assign(sizeof(ToyWorld::State), 0);
    Envelope badPiece = splitRoundStart(round + 1, encodeRoundStart(takeover)).front();
    Envelope lyingPiece = badPiece; // claims more than it brings
    lyingPiece.offset = 5;
    const std::vector<std::vector<std::uint8_t>> payloads{{},
                                                          {9, 0xFF, 0, 0, 0, 0},
                                                          {1, 0xFF},
                                                          encodeEnvelope(forged),
                                                          encodeEnvelope(badPiece),
                                                          encodeEnvelope(lyingPiece),
                                                          std::vector<std::uint8_t>(3000, 0xEE)};
    for (const auto& payload : payloads)
        rogue.send(relay::Data{0, payload});
    frames(60);
    EXPECT_EQ(a.match.round(), round);
    EXPECT_EQ(b.match.round(), round);
    EXPECT_TRUE(a.logged("which it does not hold"));
    EXPECT_TRUE(b.logged("does not lead the room"));
    EXPECT_EQ(a.match.phase(), OnlineMatch::Phase::InRoom);
    EXPECT_GT(agreeingTicks(a, b), 30);
}

// A peer sending nonsense every frame for ten seconds costs a few lines and a summary.
TEST_F(OnlineMatchTest, LinesAboutABadPeerAreThrottled) {
    Peer& a = host();
    LoopConnection rogue(relay, ++nextId);
    rogue.send(relay::JoinRoom{*a.match.room()});
    frames(5);
    for (int i = 0; i < 600; ++i) {
        rogue.send(relay::Data{0, {9, 0xFF, 0, 0, 0, 0}});
        frames(1);
    }
    frames(60); // the window ends: its summary
    const auto about = [&a](std::string_view text) {
        return std::count_if(a.logLines.begin(), a.logLines.end(), [text](const std::string& l) {
            return l.find(text) != std::string::npos;
        });
    };
    EXPECT_LE(about("dropped a message from peer 1"), 40);
    EXPECT_GE(about("more lines about peer 1"), 1);
}

} // namespace
} // namespace zindle::net
