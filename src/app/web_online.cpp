// Online play in the page: the entry points its WebSocket calls with bytes from the relay and
// takes bytes to it from, the room as the page shows it, and a match under rollback once two
// seats of the room are held. The page carries bytes only; every decision is made here, where
// the desktop's rules are the same code.
#include "app/main.h"
#include "input/input.h"
#include "match/game.h"
#include "net/relay_room_code.h"
#include "net/rollback_game_world.h"
#include "net/room_channel.h"

#include <emscripten/emscripten.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <sstream>
#include <string>

namespace {

using namespace zindle;

net::RoomChannel channel;
std::vector<std::uint8_t> incoming;
zindle::relay::Bytes outgoing;
// Checksums of confirmed states once a second, the latest first kept: what tests compare.
std::deque<std::pair<std::uint64_t, std::uint64_t>> confirmedChecksums;
constexpr std::size_t kChecksumsKept = 600;

// Runs Main's frames through the rollback session: due steps from the clock, local keys as the
// seat's inputs, the game drawn after.
class OnlineFeed : public FrameFeed {
public:
    OnlineFeed(int seat, net::RollbackSession::Config config) : seat_(seat) {
        Main::tap.reset(); // a recorder would see re-simulated steps twice
        Main::restartGame(net::matchSeed(*channel.room()));
        auto* game = dynamic_cast<Game*>(Main::board.get());
        world_ = std::make_unique<net::RollbackGameWorld>(*game, 0x5eed0000u + config.self);
        session_ = std::make_unique<net::RollbackSession>(config, *world_, channel);
        session_->onConfirmedState([](std::uint64_t tick, std::uint64_t checksum) {
            if (tick % net::kChecksumEveryTicks != 0)
                return;
            confirmedChecksums.emplace_back(tick, checksum);
            if (confirmedChecksums.size() > kChecksumsKept)
                confirmedChecksums.pop_front();
        });
        channel.onPeerBytes([this](int from, std::span<const std::uint8_t> bytes) {
            session_->receive(from, bytes, emscripten_get_now());
        });
        lastMs_ = emscripten_get_now();
    }
    ~OnlineFeed() override { channel.onPeerBytes({}); }

    void enterFrame(Main& main) override {
        const double now = emscripten_get_now();
        owedSteps_ += (now - lastMs_) / (1000.0 * Main::UPDATE_STEP);
        lastMs_ = now;
        // After a stall (a hidden tab) the backlog is dropped; the session's pacing evens out.
        owedSteps_ = std::min(owedSteps_, static_cast<double>(Main::MAX_STEPS));
        const int due = static_cast<int>(owedSteps_);
        if (toggleComputer_) {
            net::SeatInput input = tracker_.take(0);
            input.events ^= net::SeatInput::kToggleComputer;
            session_->setLocalInput(seat_, input);
            toggleComputer_ = false;
        } else {
            session_->setLocalInput(seat_, tracker_.take(0));
        }
        owedSteps_ -= session_->advanceFrame(due, now);
        main.playFrame({}, 0); // draws
    }

    void key(int keyCode, bool down) override {
        tracker_.record(InputRecord{
            0, keyCode, 0, down ? InputRecord::Kind::KeyDown : InputRecord::Kind::KeyUp, 0});
    }

    void handToComputer() { toggleComputer_ = true; }
    const net::RollbackSession& session() const { return *session_; }

private:
    int seat_;
    std::unique_ptr<net::RollbackGameWorld> world_;
    std::unique_ptr<net::RollbackSession> session_;
    net::LocalInputTracker tracker_;
    double lastMs_ = 0;
    double owedSteps_ = 0;
    bool toggleComputer_ = false;
};

OnlineFeed* online = nullptr; // Main::feed owns it

// Starts the match once this peer holds a seat and another peer holds one too.
void startWhenSeated() {
    if (online != nullptr || Main::instance == nullptr)
        return;
    const auto match = net::seatedMatch(channel);
    if (!match)
        return;
    auto feed = std::make_unique<OnlineFeed>(match->ownSeat, match->config);
    online = feed.get();
    Main::feed = std::move(feed);
}

// The room is gone (closed, refused, the relay away): the page goes back to its own title, with
// the reason left in the status for the page to show.
void stopWhenEnded() {
    if (online == nullptr || channel.phase() != net::RoomChannel::Phase::Ended)
        return;
    Main::feed.reset();
    online = nullptr;
    Main::restartGame(static_cast<std::uint64_t>(emscripten_get_now() * 1000));
}

// What the page wrote into the buffer as text: printable characters only, for they end up on
// screen.
std::string bufferText() {
    std::string text;
    for (std::uint8_t byte : incoming)
        text.push_back(byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '?');
    incoming.clear();
    return text;
}

// Claims the first free seat once in the room.
bool seatAsked = false;
void claimASeat() {
    if (seatAsked || channel.phase() != net::RoomChannel::Phase::InRoom || !channel.seatsKnown())
        return;
    const auto& holders = channel.seats().holders;
    for (int seat = 0; seat < net::kSeats; ++seat)
        if (holders[static_cast<std::size_t>(seat)] == relay::kNoPeer) {
            channel.claimSeat(seat);
            seatAsked = true;
            return;
        }
}

} // namespace

extern "C" {

// Joins the room whose code the page put in the buffer (from its address); 0 when it is no room
// code.
EMSCRIPTEN_KEEPALIVE int zindle_net_join() {
    const auto parsed = relay::parseRoomCode(bufferText());
    if (!parsed)
        return 0;
    channel.joinRoom(*parsed);
    return 1;
}

EMSCRIPTEN_KEEPALIVE void zindle_net_open() {
    channel.openRoom();
}

// Room for one message from the relay, or for a line of text; null when it is larger than any
// message may be.
EMSCRIPTEN_KEEPALIVE std::uint8_t* zindle_net_buffer(int size) {
    if (size <= 0 || static_cast<std::size_t>(size) > relay::kMaxMessageBytes)
        return nullptr;
    incoming.assign(static_cast<std::size_t>(size), 0);
    return incoming.data();
}

// The message now in the buffer has arrived.
EMSCRIPTEN_KEEPALIVE void zindle_net_received() {
    channel.received(incoming);
    incoming.clear();
    claimASeat();
    startWhenSeated();
    stopWhenEnded();
}

// The next message for the relay (its size from zindle_net_outgoing_size), or null. The pointer
// stays good until the next call.
EMSCRIPTEN_KEEPALIVE const std::uint8_t* zindle_net_outgoing() {
    channel.tick(emscripten_get_now());
    auto next = channel.takeOutgoing();
    if (!next)
        return nullptr;
    outgoing = std::move(*next);
    return outgoing.data();
}

EMSCRIPTEN_KEEPALIVE int zindle_net_outgoing_size() {
    return static_cast<int>(outgoing.size());
}

// The connection closed or failed: the buffer holds one line for the player.
EMSCRIPTEN_KEEPALIVE void zindle_net_disconnected() {
    channel.disconnected(bufferText());
    stopWhenEnded();
}

// Hands this page's seat to the computer, or takes it back, as CTRL with its number does.
EMSCRIPTEN_KEEPALIVE void zindle_net_computer() {
    if (online != nullptr)
        online->handToComputer();
}

// The room, the match and the latest confirmed checksums, as JSON.
EMSCRIPTEN_KEEPALIVE const char* zindle_net_status() {
    static std::string text;
    std::ostringstream out;
    const std::string room = channel.statusJson();
    out << room.substr(0, room.size() - 1) << ",\"playing\":" << (online ? "true" : "false");
    if (online != nullptr)
        out << ",\"tick\":" << online->session().tick()
            << ",\"confirmed\":" << online->session().confirmedTick()
            << ",\"rollbacks\":" << online->session().stats().rollbacks;
    out << ",\"checksums\":[";
    const char* comma = "";
    for (const auto& [tick, sum] : confirmedChecksums) {
        // As text: a 64-bit number does not survive JavaScript's numbers.
        out << comma << "[" << tick << ",\"" << sum << "\"]";
        comma = ",";
    }
    out << "]}";
    text = out.str();
    return text.c_str();
}
}
