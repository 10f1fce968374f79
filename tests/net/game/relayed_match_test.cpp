// A short online match of the real game in real time, through a real relay on loopback with the
// network emulator as a proxy in front of it. Two headless peers in one process, each with a
// keyboard player and a computer player, take turns with the one game by snapshot; every peer
// must confirm the very same states, and the network must have made them roll back.
#include "framework/keyboard.h"
#include "loop/main.h"
#include "match/game.h"
#include "match/match_snapshot.h"
#include "net/rollback_game_world.h"
#include "net/running_game.h"
#include "relay/emulating_proxy.h"
#include "relay/relay_client_connection.h"
#include "relay/relay_server.h"
#include "simulation.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>
#include <thread>

namespace zindle::net {
namespace {

using Clock = std::chrono::steady_clock;
constexpr double kRoundTripMs = 100; // between the peers, relay included
constexpr double kLoss = 0.02;
// A message between peers crosses the proxy twice, to the relay and from it: each crossing gets
// a quarter of the round trip and the loss that makes kLoss over both.
const net::LinkConditions kEachCrossing{kRoundTripMs / 4, kRoundTripMs / 20,
                                        1 - std::sqrt(1 - kLoss), 0.0025, 0.0025};
constexpr double kPlaySeconds = 10;
// Joining and claiming four seats through the slow network takes a second or two.
constexpr double kSetUpLimitSeconds = 15;

// One peer's game while the peers share the process's one game: its match goes in before the
// peer's frame and comes out after it, by snapshot; while a round's world lives, that world
// keeps the match.
class SharedGame : public OnlineGame {
public:
    SharedGame(Game& game, std::uint64_t drawingSeed)
        : game_(game), running_(drawingSeed, [&game] { return &game; }), drawingSeed_(drawingSeed) {
        between_.capture(game);
    }
    std::unique_ptr<RollbackWorld> newWorld() override { return std::make_unique<World>(*this); }
    void takeOutSeats(std::uint8_t seatMask) override { running_.takeOutSeats(seatMask); }
    std::vector<std::uint8_t> captureState() override { return running_.captureState(); }
    bool restoreState(std::span<const std::uint8_t> bytes) override {
        return running_.restoreState(bytes);
    }
    void enter() {
        if (world_)
            world_->enter();
        else
            between_.restore(game_);
    }
    void leave() {
        if (world_)
            world_->leave();
        else
            between_.capture(game_);
    }

private:
    struct World : RollbackGameWorld {
        explicit World(SharedGame& owner)
            : RollbackGameWorld(owner.game_, owner.drawingSeed_), owner(owner) {
            owner.world_ = this;
        }
        // A new round's world is made before the old one goes.
        ~World() override {
            if (owner.world_ == this)
                owner.world_ = nullptr;
        }
        SharedGame& owner;
    };

    Game& game_;
    RunningGame running_;
    std::uint64_t drawingSeed_;
    MatchSnapshot between_; // the match while no world holds it
    World* world_ = nullptr;
};

OnlineMatch::Options optionsFor(std::optional<relay::RoomCodeText> room) {
    OnlineMatch::Options options;
    options.room = room; // the input delay follows the measured round trip
    return options;
}

// A headless peer: its keys go to its online match, its frames come from the real clock.
struct Peer {
    Peer(Game& shared, unsigned short port, std::optional<relay::RoomCodeText> room)
        : game(shared, 0xD7A3), connection(relay::RoomLink{"127.0.0.1", port, room}),
          match(optionsFor(room), connection, game) {
        match.onConfirmedState([this](std::uint32_t round, std::uint64_t tick, std::uint64_t sum) {
            confirmed[{round, tick}] = sum; // after an adopted state the later word stands
        });
    }
    void key(int code, bool down, std::uint8_t modifiers = 0) {
        InputRecord record;
        record.kind = down ? InputRecord::Kind::KeyDown : InputRecord::Kind::KeyUp;
        record.code = code;
        record.modifiers = modifiers;
        match.liveInput(record);
    }
    void tap(int code, std::uint8_t modifiers = 0) {
        key(code, true, modifiers);
        key(code, false, modifiers);
    }
    bool seated(int localPlayer) const {
        for (int seat = 0; seat < relay::kSeatCount; ++seat)
            if (match.localPlayerOf(seat) == localPlayer)
                return true;
        return false;
    }
    // The steps due by nowS, as the game's own frames count them.
    void frame(double nowS) {
        int due = 0;
        while (nowS > nextStepS && due < Main::MAX_STEPS) {
            ++due;
            nextStepS += Main::UPDATE_STEP;
        }
        if (nowS > nextStepS)
            nextStepS = nowS;
        game.enter();
        match.frame(due, nowS * 1000);
        game.leave();
    }
    // The round's confirmed ticks before tick `until`, one line each.
    std::string trace(std::uint32_t round, std::uint64_t until) const {
        std::ostringstream out;
        for (const auto& [key, sum] : confirmed)
            if (key.first == round && key.second < until)
                out << key.second << ' ' << sum << '\n';
        return out.str();
    }
    std::uint64_t confirmedTicks(std::uint32_t round) const {
        std::uint64_t ticks = 0;
        for (const auto& [key, sum] : confirmed)
            if (key.first == round)
                ticks = std::max(ticks, key.second + 1);
        return ticks;
    }

    SharedGame game;
    relay::RelayClientConnection connection;
    OnlineMatch match;
    std::map<std::pair<std::uint32_t, std::uint64_t>, std::uint64_t> confirmed;
    double nextStepS = 0;
};

TEST(RelayedMatchTest, PeersThroughTheEmulatorAndARealRelayConfirmTheSameStates) {
    const auto began = Clock::now();
    sim::RunConfig config;
    config.seed = 21;
    sim::Simulation simulation(config);

    relay::RelayOptions relayOptions;
    relayOptions.address = "127.0.0.1";
    relayOptions.port = 0;
    relay::RelayServer relay(relayOptions);
    const unsigned short relayPort = relay.listen();
    relay.runInBackground();
    relay::EmulatingProxy proxy({relayPort, kEachCrossing, 31});
    const unsigned short port = proxy.start();

    std::vector<std::unique_ptr<Peer>> peers;
    peers.push_back(std::make_unique<Peer>(simulation.game(), port, std::nullopt));
    Peer& host = *peers.front();
    auto seconds = [&began] { return std::chrono::duration<double>(Clock::now() - began).count(); };
    double playFromS = -1;
    std::int64_t frame = 0;
    const double startS = seconds();
    while (playFromS < 0 || seconds() < playFromS + kPlaySeconds) {
        const double nowS = seconds();
        ASSERT_TRUE(playFromS >= 0 || nowS - startS < kSetUpLimitSeconds)
            << "the peers did not get into the room and their seats in time";
        // Each step waits for the one before to reach both peers: rooms, then seats in turn.
        if (peers.size() == 1 && host.match.room()) {
            peers.push_back(std::make_unique<Peer>(simulation.game(), port, host.match.room()));
        } else if (peers.size() == 2 && playFromS < 0) {
            Peer& guest = *peers.back();
            const bool together = host.match.peers().size() == 2 &&
                                  guest.match.peers().size() == 2 &&
                                  host.match.round() == guest.match.round();
            if (together && frame % 20 == 0) {
                if (!host.seated(0))
                    host.tap(Keyboard::SPACE);
                else if (!guest.seated(0))
                    guest.tap(Keyboard::SPACE);
                else if (!host.seated(1))
                    host.tap('2', InputRecord::kCtrl); // its computer player
                else if (!guest.seated(2))
                    guest.tap('3', InputRecord::kCtrl);
                else
                    playFromS = nowS;
            }
        }
        // The keyboard players steer, each in a rhythm of its own.
        for (std::size_t p = 0; p < peers.size() && playFromS >= 0; ++p) {
            const std::int64_t every = 17 + 6 * static_cast<std::int64_t>(p);
            if (frame % every == 0) {
                const bool left = (frame / every) % 2 == 0;
                peers[p]->key(left ? Keyboard::RIGHT : Keyboard::LEFT, false);
                peers[p]->key(left ? Keyboard::LEFT : Keyboard::RIGHT, true);
            }
        }
        for (auto& peer : peers)
            peer->frame(nowS);
        ++frame;
        std::this_thread::sleep_until(
            began + std::chrono::microseconds(static_cast<long>((startS + frame / 60.0) * 1e6)));
    }

    Peer& guest = *peers.back();
    ASSERT_EQ(host.match.phase(), OnlineMatch::Phase::InRoom);
    ASSERT_EQ(guest.match.phase(), OnlineMatch::Phase::InRoom);
    const std::uint32_t round = host.match.round();
    ASSERT_EQ(guest.match.round(), round);
    const std::uint64_t common = std::min(host.confirmedTicks(round), guest.confirmedTicks(round));
    // A loaded machine or a sanitizer build plays slower than the clock; a few seconds of play
    // still shows agreement.
    EXPECT_GT(common, 3u * kTicksPerSecond);
    const std::string reference = host.trace(round, common);
    EXPECT_EQ(guest.trace(round, common), reference);
    EXPECT_EQ(std::count(reference.begin(), reference.end(), '\n'), common) << "no tick missing";

    // Four heroes played: a match, not an empty title.
    host.game.enter();
    EXPECT_EQ(simulation.game().heroes.size(), 4u);
    const std::int64_t catches = simulation.game().tally.catches;
    host.game.leave();

    std::int64_t rollbacks = 0;
    for (const auto& peer : peers) {
        ASSERT_TRUE(peer->match.session());
        const RollbackStats& stats = peer->match.session()->stats();
        rollbacks += stats.rollbacks;
        EXPECT_EQ(stats.desyncs, 0);
    }
    EXPECT_GT(rollbacks, 0);
    const double measuredRoundTripMs = host.match.session()->roundTripMs();
    const LinkCounters network = proxy.counters();
    EXPECT_GT(network.lost, 0);
    peers.clear();
    std::printf(
        "round trip %.0f ms (measured %.0f ms), %.0f %% loss, through the relay: %lld rollbacks "
        "on two peers; %llu ticks agreed in %.1f s of play; messages %lld sent, %lld lost, %lld "
        "duplicated, %lld held back; %lld catches; %.1f s in all\n",
        kRoundTripMs, measuredRoundTripMs, kLoss * 100, static_cast<long long>(rollbacks),
        static_cast<unsigned long long>(common), kPlaySeconds, static_cast<long long>(network.sent),
        static_cast<long long>(network.lost), static_cast<long long>(network.duplicated),
        static_cast<long long>(network.reordered), static_cast<long long>(catches), seconds());
}

} // namespace
} // namespace zindle::net
