// libFuzzer target for the bytes a web page's WebSocket hands the program: each one goes into the
// queued relay connection and on into an online match (over a small stand-in game), between
// frames, key presses and a closing. Nothing may crash or grow without bound, and everything the
// match sends back must be a message the relay can read.
#include "framework/keyboard.h"
#include "netcode/queued_relay_connection.h"
#include "netcode/relay_room_code.h"
#include "online/online_match.h"

#include "../net/toy_world.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace {

using namespace zindle;
using namespace zindle::net;

// The game stand-in: a toy world whose state outlives each round's world, as the game's does.
struct StandInGame : OnlineGame {
    std::unique_ptr<RollbackWorld> newWorld() override {
        auto world = std::make_unique<ToyWorld>();
        world->state = state;
        return world;
    }
    void takeOutSeats(std::uint8_t mask) override { state.hash ^= mask; }
    std::vector<std::uint8_t> captureState() override {
        std::vector<std::uint8_t> bytes(sizeof(ToyWorld::State));
        std::memcpy(bytes.data(), &state, bytes.size());
        return bytes;
    }
    bool restoreState(std::span<const std::uint8_t> bytes) override {
        if (bytes.size() != sizeof(ToyWorld::State))
            return false;
        std::memcpy(&state, bytes.data(), bytes.size());
        return true;
    }
    ToyWorld::State state;
};

// What the page would send on: every message must be one the relay reads.
void drain(QueuedRelayConnection& connection) {
    std::size_t taken = 0;
    while (auto bytes = connection.takeOutgoing()) {
        if (!relay::decode(*bytes).message || ++taken > QueuedRelayConnection::kMaxQueuedOut)
            __builtin_trap();
    }
}

void tap(OnlineMatch& match, int code, std::uint8_t modifiers) {
    InputRecord record;
    record.code = code;
    record.modifiers = modifiers;
    match.liveInput(record);
    record.kind = InputRecord::Kind::KeyUp;
    match.liveInput(record);
}

} // namespace

// The input is a script. Its first byte picks opening a room or joining one; then each part is
// a byte saying what happens and, for a message, a 16-bit little-endian length and its bytes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    OnlineMatch::Options options;
    if (data[0] & 1)
        options.room = relay::parseRoomCode("3ABCDEFGHJKMN");
    options.inputDelay = data[0] >> 1 & 3;
    QueuedRelayConnection connection;
    StandInGame game;
    OnlineMatch match(options, connection, game);
    double nowMs = 0;
    std::size_t at = 1;
    while (at < size) {
        const std::uint8_t what = data[at++];
        switch (what & 3) {
        case 0: { // a message from the relay, as the page's buffer would hold it
            if (size - at < 2)
                return 0;
            const std::size_t length = std::min<std::size_t>(
                data[at] | static_cast<std::size_t>(data[at + 1]) << 8, size - at - 2);
            at += 2;
            connection.received(std::span(data + at, length));
            at += length;
            break;
        }
        case 1: // a frame of the page, the steps due since the last
            nowMs += (what >> 2) * 2.0;
            match.frame((what >> 2) % 8, nowMs);
            drain(connection);
            break;
        case 2: { // a key: a player's join key, with CTRL a computer player, or ESC
            static constexpr int kKeys[] = {Keyboard::SPACE, 'e', Keyboard::LEFT, '2', '3',
                                            Keyboard::ESCAPE};
            const int key = kKeys[(what >> 2 & 7) % 6];
            tap(match, key, (what & 0x80) ? InputRecord::kCtrl : 0);
            break;
        }
        default: // the socket closed
            connection.closed(std::string(what & 4 ? "" : "gone"));
            break;
        }
    }
    match.frame(1, nowMs + 16);
    drain(connection);
    return 0;
}
