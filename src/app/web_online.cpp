// Online play in the page: the entry points its WebSocket calls with bytes from the relay and
// takes bytes for the relay from, and the room as the page shows it. The page only carries
// bytes; the online match (the same code as the desktop's) reads every message and decides.
#include "app/web_replays.h"
#include "framework/random.h"
#include "loop/main.h"
#include "net/online_feed.h"
#include "net/queued_relay_connection.h"
#include "net/relay_room_code.h"

#include <emscripten/emscripten.h>

#include <deque>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>

namespace {

using namespace zindle;

// Confirmed seconds kept for the page's tests to compare with other peers'.
constexpr std::size_t kChecksumsKept = 600;

std::vector<std::uint8_t> incoming;
relay::Bytes outgoing;
net::QueuedRelayConnection* connection = nullptr; // the feed owns it
net::OnlineFeed* online = nullptr;                // Main::feed owns it
// Round, tick, checksum, and whether this peer led the round (a joiner may lead one of its own
// for the moment before it hears who else is in the room: nobody else plays that round).
std::deque<std::tuple<std::uint32_t, std::uint64_t, std::uint64_t, bool>> confirmed;
std::string replayHandedOver; // the online replay the page was given

// What the page wrote into the buffer as text: printable characters only, for they may end up
// on screen.
std::string bufferText() {
    std::string text;
    for (std::uint8_t byte : incoming)
        text.push_back(byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '?');
    incoming.clear();
    return text;
}

bool live() {
    return online != nullptr && Main::feed.get() == online;
}

void writeJsonString(std::ostringstream& out, const std::string& text) {
    out << '"';
    for (char c : text) {
        if (c == '"' || c == '\\')
            out << '\\';
        out << c;
    }
    out << '"';
}

} // namespace

std::string web::takeFinishedOnlineReplay() {
    if (!live() || online->recording() || online->replayPath().empty())
        return {};
    const std::string path = online->replayPath().string();
    if (path == replayHandedOver)
        return {};
    replayHandedOver = path;
    return path;
}

std::string web::onlineReplayInProgress() {
    return live() && online->recording() ? online->replayPath().string() : std::string();
}

extern "C" {

// Joins a room: the buffer holds "HOST PORT CODE" from the page's address (the host and port
// make the room's link on the title). 0 when the code is no room code.
EMSCRIPTEN_KEEPALIVE int zindle_net_join() {
    std::istringstream words(bufferText());
    std::string host, code;
    unsigned port = 0;
    words >> host >> port >> code;
    const auto room = relay::parseRoomCode(code);
    if (!room || Main::instance == nullptr || live())
        return 0;
    net::OnlineFeed::Setup setup;
    auto relayConnection = std::make_unique<net::QueuedRelayConnection>();
    connection = relayConnection.get();
    setup.relay = std::move(relayConnection);
    setup.options.room = *room;
    setup.relayHost = host;
    setup.relayPort = static_cast<unsigned short>(port > 0 && port < 65536 ? port : 80);
    setup.drawingSeed = net::kOnlineDrawingSeed;
    // Recorded from its confirmed inputs, as on the desktop, beside the local matches.
    setup.replayFolder = web::kReplayFolder;
    setup.replaysKept = web::kReplaysInMemory;
    setup.seed = randomSeed();
    setup.log = [](const std::string& line) { std::cerr << "online: " << line << '\n'; };
    auto feed = std::make_unique<net::OnlineFeed>(std::move(setup));
    feed->match().onConfirmedState(
        [](std::uint32_t round, std::uint64_t tick, std::uint64_t checksum) {
            if (tick % 60 != 0)
                return;
            confirmed.emplace_back(round, tick, checksum, online->match().leads());
            if (confirmed.size() > kChecksumsKept)
                confirmed.pop_front();
        });
    online = feed.get();
    Main::feed = std::move(feed);
    return 1;
}

// Room for one message from the relay, or for a line of text; null when it is larger than any
// relay message may be.
EMSCRIPTEN_KEEPALIVE std::uint8_t* zindle_net_buffer(int size) {
    if (size <= 0 || static_cast<std::size_t>(size) > relay::kMaxMessageBytes)
        return nullptr;
    incoming.assign(static_cast<std::size_t>(size), 0);
    return incoming.data();
}

// The message now in the buffer has arrived.
EMSCRIPTEN_KEEPALIVE void zindle_net_received() {
    if (live())
        connection->received(incoming);
    incoming.clear();
}

// The next message for the relay (its size from zindle_net_outgoing_size), or null. The pointer
// stays good until the next call.
EMSCRIPTEN_KEEPALIVE const std::uint8_t* zindle_net_outgoing() {
    if (!live())
        return nullptr;
    auto next = connection->takeOutgoing();
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
    const std::string reason = bufferText();
    if (live())
        connection->closed(reason);
}

// The room and the match as JSON: phase (connecting, in-room, left), the room's code, this
// peer's number and the others', why it left, the last second's network figures and the latest
// confirmed checksums.
EMSCRIPTEN_KEEPALIVE const char* zindle_net_status() {
    static std::string text;
    std::ostringstream out;
    if (!live()) {
        text = "{\"phase\":\"none\"}";
        return text.c_str();
    }
    const net::OnlineMatch& match = online->match();
    const char* phase = match.phase() == net::OnlineMatch::Phase::Connecting ? "connecting"
                        : match.phase() == net::OnlineMatch::Phase::InRoom   ? "in-room"
                                                                             : "left";
    out << "{\"phase\":\"" << phase << "\",\"room\":";
    if (match.room())
        writeJsonString(out, relay::toString(*match.room()));
    else
        out << "null";
    out << ",\"self\":" << match.self() << ",\"peers\":[";
    const char* comma = "";
    for (int peer : match.peers())
        if (peer != match.self()) {
            out << comma << peer;
            comma = ",";
        }
    out << "],\"problem\":";
    writeJsonString(out, match.leftBecause());
    out << ",\"playing\":" << (match.session() != nullptr ? "true" : "false")
        << ",\"round\":" << match.round();
    // The last whole second's network figures, as F3 shows them.
    const net::OnlineFeed::Figures& figures = online->lastSecond();
    out << ",\"figures\":{\"roundTripMs\":" << figures.roundTripMs
        << ",\"inputDelay\":" << figures.inputDelay << ",\"rollback\":" << figures.deepestRollback
        << ",\"resimulationMs\":" << figures.resimulationMs << "}";
    out << ",\"checksums\":[";
    comma = "";
    for (const auto& [round, tick, sum, led] : confirmed) {
        // As text: a 64-bit number does not survive JavaScript's numbers.
        out << comma << "[" << round << "," << tick << ",\"" << sum << "\","
            << (led ? "true" : "false") << "]";
        comma = ",";
    }
    out << "]}";
    text = out.str();
    return text.c_str();
}
}
