#pragma once
// The game's connection to a relay: WebSocket I/O on a thread of its own, so a slow network never
// holds up a frame. The game thread sends and polls through queues; both are bounded, and a
// connection that overflows one is closed with a reason rather than allowed to grow.
#include "net/relay_protocol.h"
#include "net/room_link.h"

#include <memory>
#include <optional>
#include <string>

namespace zindle::relay {

class RelayClient {
public:
    enum class Status { Connecting, Open, Closed };

    // Starts connecting at once to the link's relay: to its room when it carries a code, to open
    // one otherwise.
    explicit RelayClient(const RoomLink& link);
    // Closes the connection and waits for the I/O thread, at most a couple of seconds.
    ~RelayClient();
    RelayClient(const RelayClient&) = delete;
    RelayClient& operator=(const RelayClient&) = delete;

    // From any thread. Messages sent while connecting go out once the connection is open.
    void send(const Message& message);
    // From any thread: the next message from the relay, if one has arrived.
    std::optional<Message> poll();
    // How long the message poll() last returned waited after it arrived (game thread only).
    double lastPolledWaitMs() const { return lastPolledWaitMs_; }
    Status status() const;
    // Why the connection closed, one line; empty while it has not.
    std::string closeReason() const;

private:
    struct Impl;
    std::shared_ptr<Impl> impl_;
    double lastPolledWaitMs_ = 0;
};

} // namespace zindle::relay
