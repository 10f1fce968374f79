// The queue of arrived relay messages both carriers share: whole batches or none, oldest first,
// each with how long it waited.
#include "netcode/inbound_queue.h"

#include <gtest/gtest.h>

#include <chrono>

namespace zindle::net {
namespace {

using namespace std::chrono_literals;

std::vector<relay::Message> batch(std::size_t count, std::uint8_t firstPeer) {
    std::vector<relay::Message> messages(count);
    for (std::size_t i = 0; i < count; ++i) {
        relay::PeerJoined joined;
        joined.peer = static_cast<std::uint8_t>(firstPeer + i);
        messages[i] = joined;
    }
    return messages;
}

TEST(InboundQueueTest, ABatchThatDoesNotFitIsRefusedWhole) {
    struct Case {
        const char* what;
        std::size_t waiting, incoming;
        bool taken;
    };
    const Case cases[] = {
        {"room to spare", 1, 2, true},
        {"fills it exactly", 2, 2, true},
        {"one too many", 2, 3, false},
        {"larger than the whole queue", 0, 5, false},
    };
    for (const Case& c : cases) {
        InboundQueue queue(4);
        const auto at = InboundQueue::Clock::now();
        ASSERT_TRUE(queue.push(batch(c.waiting, 0), at)) << c.what;
        EXPECT_EQ(queue.push(batch(c.incoming, 100), at), c.taken) << c.what;
        EXPECT_EQ(queue.size(), c.waiting + (c.taken ? c.incoming : 0)) << c.what;
    }
}

TEST(InboundQueueTest, OldestFirstWithItsWait) {
    InboundQueue queue(8);
    const auto start = InboundQueue::Clock::now();
    ASSERT_TRUE(queue.push(batch(2, 1), start));
    ASSERT_TRUE(queue.push(batch(1, 3), start + 5ms));
    double waited = -1;
    for (std::uint8_t peer = 1; peer <= 3; ++peer) {
        const auto message = queue.pop(start + 20ms, waited);
        ASSERT_TRUE(message);
        EXPECT_EQ(std::get<relay::PeerJoined>(*message).peer, peer);
        EXPECT_NEAR(waited, peer < 3 ? 20 : 15, 1e-6);
    }
    EXPECT_FALSE(queue.pop(start + 20ms, waited));
}

} // namespace
} // namespace zindle::net
