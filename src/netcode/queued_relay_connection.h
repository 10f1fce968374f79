#pragma once
// A relay connection whose bytes something else carries: a web page's WebSocket puts each
// message from the relay in and takes each message for it out. Both queues are bounded; bytes
// that are no relay message are dropped with a line, and a flood from the network closes the
// connection rather than growing the queue.
#include "netcode/inbound_queue.h"
#include "netcode/relay_connection.h"

#include <chrono>
#include <deque>
#include <functional>
#include <span>
#include <string>

namespace zindle::net {

class QueuedRelayConnection : public RelayConnection {
public:
    // Enough for a round start's pieces (a whole match state) arriving between two frames.
    static constexpr std::size_t kMaxQueuedIn = 1024;
    // Peer messages repeat what was not acknowledged: when the network cannot keep up, the
    // oldest waiting one makes way.
    static constexpr std::size_t kMaxQueuedOut = 256;

    // The carrier's side.
    void received(std::span<const std::uint8_t> bytes);
    void closed(const std::string& reason);
    // The next message for the relay, oldest first.
    std::optional<relay::Bytes> takeOutgoing();

    // The match's side.
    void send(const relay::Message& message) override;
    std::optional<relay::Message> poll() override;
    double lastPolledWaitMs() const override { return lastPolledWaitMs_; }
    std::string closedReason() const override { return closedReason_; }

    void onLog(std::function<void(const std::string&)> f) { log_ = std::move(f); }
    std::size_t dropped() const { return dropped_; }

private:
    InboundQueue in_{kMaxQueuedIn}; // stamped as the carrier hands each message over
    double lastPolledWaitMs_ = 0;
    std::deque<relay::Bytes> out_;
    std::string closedReason_;
    std::size_t dropped_ = 0;
    std::function<void(const std::string&)> log_;
};

} // namespace zindle::net
