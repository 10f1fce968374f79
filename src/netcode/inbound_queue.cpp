// The bounded queue of arrived relay messages.
#include "netcode/inbound_queue.h"

namespace zindle::net {

bool InboundQueue::push(std::vector<relay::Message>&& batch, Clock::time_point arrived) {
    if (batch.size() > capacity_ - messages_.size())
        return false;
    for (relay::Message& message : batch)
        messages_.push_back({std::move(message), arrived});
    return true;
}

std::optional<relay::Message> InboundQueue::pop(Clock::time_point now, double& waitedMs) {
    if (messages_.empty())
        return std::nullopt;
    Arrived next = std::move(messages_.front());
    messages_.pop_front();
    waitedMs = std::chrono::duration<double, std::milli>(now - next.at).count();
    return std::move(next.message);
}

} // namespace zindle::net
