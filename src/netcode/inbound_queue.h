#pragma once
// Relay messages that have arrived and wait for the match to poll them, each stamped with when
// the carrier took it off the network, so that a round trip can leave out the wait for the
// game's frame. Bounded: a batch that would overflow it is refused whole, and the carrier then
// closes the connection, since a peer that cannot keep up would only fall further behind.
#include "netcode/relay_protocol.h"

#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>
#include <vector>

namespace zindle::net {

class InboundQueue {
public:
    using Clock = std::chrono::steady_clock;

    explicit InboundQueue(std::size_t capacity) : capacity_(capacity) {}

    // Adds the batch, all of it, or none of it when it does not fit: false then.
    bool push(std::vector<relay::Message>&& batch, Clock::time_point arrived);
    // The oldest message, with how long it waited (milliseconds) by now.
    std::optional<relay::Message> pop(Clock::time_point now, double& waitedMs);
    void clear() { messages_.clear(); }
    std::size_t size() const { return messages_.size(); }
    std::size_t capacity() const { return capacity_; }

private:
    struct Arrived {
        relay::Message message;
        Clock::time_point at;
    };
    std::size_t capacity_;
    std::deque<Arrived> messages_;
};

} // namespace zindle::net
