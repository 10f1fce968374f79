// The queues between an online match and whatever carries its relay messages.
#include "netcode/queued_relay_connection.h"

#include <algorithm>

namespace zindle::net {

void QueuedRelayConnection::received(std::span<const std::uint8_t> bytes) {
    if (!closedReason_.empty())
        return;
    // The relay sends one message or, when several queued for this peer, a batch of them.
    relay::DecodeError error{};
    std::optional<std::vector<relay::Message>> messages = relay::decodeAll(bytes, error);
    if (!messages) {
        ++dropped_;
        if (log_)
            log_(std::string("relay message dropped: ") + relay::describe(error));
        return;
    }
    if (!in_.push(std::move(*messages), InboundQueue::Clock::now()))
        closed("the relay sent more than this game can take in");
}

void QueuedRelayConnection::closed(const std::string& reason) {
    if (closedReason_.empty())
        closedReason_ = reason.empty() ? "the relay is gone" : reason;
    out_.clear();
}

std::optional<relay::Bytes> QueuedRelayConnection::takeOutgoing() {
    if (out_.empty())
        return std::nullopt;
    relay::Bytes next = std::move(out_.front());
    out_.pop_front();
    return next;
}

void QueuedRelayConnection::send(const relay::Message& message) {
    if (!closedReason_.empty())
        return;
    if (out_.size() >= kMaxQueuedOut) {
        // Requests (a seat, leaving) are few and matter; peer data is repeated until it is
        // acknowledged, so the oldest of it makes way first.
        const auto data = std::find_if(out_.begin(), out_.end(), [](const relay::Bytes& bytes) {
            return bytes.size() > 1 &&
                   bytes[1] == static_cast<std::uint8_t>(relay::MessageType::Data);
        });
        out_.erase(data != out_.end() ? data : out_.begin());
        ++dropped_;
    }
    out_.push_back(relay::encode(message));
}

std::optional<relay::Message> QueuedRelayConnection::poll() {
    return in_.pop(InboundQueue::Clock::now(), lastPolledWaitMs_);
}

} // namespace zindle::net
