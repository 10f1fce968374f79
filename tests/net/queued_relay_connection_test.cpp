// The queues a page's socket fills and empties: bytes that are no relay message never reach the
// match, a flood closes the connection, and a stuck network drops old peer data before requests.
#include "netcode/queued_relay_connection.h"

#include <gtest/gtest.h>

namespace zindle::net {
namespace {

using namespace zindle::relay;

TEST(QueuedRelayConnectionTest, OnlyWholeMessagesReachTheMatchInOrder) {
    QueuedRelayConnection connection;
    std::vector<std::string> lines;
    connection.onLog([&](const std::string& line) { lines.push_back(line); });
    const Bytes first = encode(Pong{7});
    const Bytes second = encode(PeerLeft{3});
    const Bytes* batched[] = {&first, &second};
    const std::vector<Bytes> arriving = {
        encode(PeerJoined{2}),      {},                                            // empty
        {kProtocolVersion, 200},                                                   // unknown type
        encode(Forward{2, 1, {9}}), Bytes(kMaxMessageBytes + 1, kProtocolVersion), // too large
        encodeBatch(batched), // what queued at the relay while its last write was out
    };
    for (const Bytes& bytes : arriving)
        connection.received(bytes);
    EXPECT_EQ(connection.poll(), Message(PeerJoined{2}));
    EXPECT_EQ(connection.poll(), Message(Forward{2, 1, {9}}));
    EXPECT_EQ(connection.poll(), Message(Pong{7}));
    EXPECT_EQ(connection.poll(), Message(PeerLeft{3}));
    EXPECT_EQ(connection.poll(), std::nullopt);
    EXPECT_EQ(connection.dropped(), 3u);
    EXPECT_EQ(lines.size(), 3u);
    EXPECT_EQ(connection.closedReason(), "");
}

TEST(QueuedRelayConnectionTest, AFloodClosesTheConnection) {
    QueuedRelayConnection connection;
    for (std::size_t i = 0; i <= QueuedRelayConnection::kMaxQueuedIn; ++i)
        connection.received(encode(Pong{static_cast<std::uint32_t>(i)}));
    EXPECT_EQ(connection.closedReason(), "the relay sent more than this game can take in");
    connection.send(Leave{});
    EXPECT_EQ(connection.takeOutgoing(), std::nullopt); // nothing goes out on a closed one
}

TEST(QueuedRelayConnectionTest, AStuckNetworkDropsOldDataBeforeRequests) {
    QueuedRelayConnection connection;
    connection.send(ClaimSeat{1});
    for (std::size_t i = 0; i + 1 < QueuedRelayConnection::kMaxQueuedOut; ++i) // full
        connection.send(Data{1, {static_cast<std::uint8_t>(i)}});
    connection.send(Leave{});
    EXPECT_EQ(decode(*connection.takeOutgoing()).message, Message(ClaimSeat{1}));
    EXPECT_EQ(decode(*connection.takeOutgoing()).message, Message(Data{1, {1}})); // 0 made way
    EXPECT_EQ(connection.dropped(), 1u);
    std::optional<Bytes> last;
    while (auto next = connection.takeOutgoing())
        last = next;
    EXPECT_EQ(decode(*last).message, Message(Leave{}));
}

TEST(QueuedRelayConnectionTest, TheFirstReasonForClosingStays) {
    QueuedRelayConnection connection;
    connection.closed("");
    connection.closed("later");
    EXPECT_EQ(connection.closedReason(), "the relay is gone");
}

} // namespace
} // namespace zindle::net
