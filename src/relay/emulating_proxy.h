#pragma once
// A WebSocket proxy between peers and a relay on loopback that puts every relay message through
// the network emulator on the real clock: a match played through a real relay then meets the
// delay, jitter, loss, duplication and reordering of a distant network. For tests and
// measurements only; it trusts both ends.
#include "netcode/peer_link_emulator.h"
#include "netcode/relay_protocol.h"

#include <functional>
#include <memory>

namespace zindle::relay {

// Whether a message carries a rollback session's own message, which its sender repeats until it
// is acknowledged, so that losing it costs time and never the match.
bool carriesSessionMessage(const Message& message);

struct EmulatingProxyOptions {
    unsigned short relayPort = 0; // the relay, on 127.0.0.1
    // What each crossing of the proxy meets: a message from one peer to another crosses twice,
    // to the relay and from it.
    net::LinkConditions conditions;
    std::uint64_t seed = 1;
    // Messages that may be lost, duplicated or held back. The others (rooms, seats, the pieces
    // of a match state) are what a WebSocket's stream never loses and a peer never repeats:
    // they keep their order and only wait out the mean delay.
    std::function<bool(const Message&)> mayBeLost = carriesSessionMessage;
};

class EmulatingProxy {
public:
    explicit EmulatingProxy(EmulatingProxyOptions options);
    // Stops serving; connections through it close.
    ~EmulatingProxy();
    EmulatingProxy(const EmulatingProxy&) = delete;
    EmulatingProxy& operator=(const EmulatingProxy&) = delete;

    // Listens on 127.0.0.1 at a free port and serves on a thread of its own; returns the port.
    // Each peer that connects gets a connection of its own to the relay, at the same target.
    unsigned short start();
    // What the emulator has done to the messages so far, in both directions (from any thread).
    net::LinkCounters counters() const;

    struct Impl; // public only so the connection pairs in the source file can name it

private:
    std::unique_ptr<Impl> impl_;
};

} // namespace zindle::relay
