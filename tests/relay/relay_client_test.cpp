// The game's relay client against a relay in the same process, on loopback: a room between two
// clients, and the ways a connection ends.
#include "relay/embedded_relay.h"
#include "relay/relay_client.h"
#include "relay/relay_server.h"
#include "test_peer.h"

#include <gtest/gtest.h>

#include <thread>

namespace zindle::relay {
namespace {

using namespace std::chrono_literals;

// Polls until a message of type T arrives; nothing after five seconds.
template <class T> std::optional<T> awaitMessage(RelayClient& client) {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (std::chrono::steady_clock::now() < deadline) {
        while (std::optional<Message> message = client.poll())
            if (auto* found = std::get_if<T>(&*message))
                return *found;
        std::this_thread::sleep_for(1ms);
    }
    return std::nullopt;
}

bool awaitClosed(RelayClient& client) {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (client.status() != RelayClient::Status::Closed) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

class RelayClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        RelayOptions options;
        options.address = "127.0.0.1";
        options.port = 0;
        options.rules.hostLeavingClosesRoom = true;
        server = std::make_unique<RelayServer>(options);
        link.host = "127.0.0.1";
        link.port = server->listen();
        server->runInBackground();
    }

    std::unique_ptr<RelayServer> server;
    RoomLink link;
};

TEST_F(RelayClientTest, TwoClientsMeetInARoomAndTheHostLeavingClosesIt) {
    auto host = std::make_unique<RelayClient>(link);
    // Sent before the connection is open: it waits in the queue.
    host->send(OpenRoom{});
    const auto welcome = awaitMessage<Welcome>(*host);
    ASSERT_TRUE(welcome);
    EXPECT_EQ(host->status(), RelayClient::Status::Open);

    RoomLink joinLink = link;
    joinLink.code = welcome->code;
    RelayClient guest(joinLink);
    guest.send(JoinRoom{welcome->code});
    ASSERT_TRUE(awaitMessage<Welcome>(guest));
    guest.send(ClaimSeat{1});
    ASSERT_TRUE(awaitMessage<SeatMap>(*host));
    for (std::uint8_t i = 0; i < 100; ++i)
        guest.send(Data{0b0010, {i}});
    for (std::uint8_t i = 0; i < 100; ++i) {
        const auto forward = awaitMessage<Forward>(*host);
        ASSERT_TRUE(forward);
        EXPECT_EQ(forward->payload, Bytes{i}) << "in the order sent";
    }

    host.reset();
    EXPECT_EQ(awaitMessage<RoomClosed>(guest), RoomClosed{CloseReason::HostLeft});
}

TEST_F(RelayClientTest, ClosesWithAReasonWhenTheRelayStopsOrIsNotThere) {
    RelayClient client(link);
    client.send(Ping{1});
    ASSERT_TRUE(awaitMessage<Pong>(client));
    server->stop();
    EXPECT_TRUE(awaitClosed(client));
    EXPECT_FALSE(client.closeReason().empty());

    server.reset();
    RelayClient nobody(link);
    EXPECT_TRUE(awaitClosed(nobody));
    // A stale link names the relay that is gone.
    EXPECT_NE(nobody.closeReason().find("cannot reach the relay at " + link.host + ":" +
                                        std::to_string(link.port)),
              std::string::npos)
        << nobody.closeReason();
    nobody.send(Ping{2}); // after closing: dropped, not a crash
}

// The link a browser shows for a relay on IPv6 loopback: its host in brackets.
TEST_F(RelayClientTest, ALinkWithABracketedIpv6HostReachesTheRelay) {
    if (!testing::ipv6LoopbackWorks())
        GTEST_SKIP() << "this machine has no IPv6 loopback";
    const auto parsed = parseRoomLink("http://[::1]:" + std::to_string(link.port) + "/");
    ASSERT_TRUE(parsed);
    RelayClient client(*parsed);
    client.send(OpenRoom{});
    const auto welcome = awaitMessage<Welcome>(client);
    ASSERT_TRUE(welcome) << client.closeReason();
    RoomLink joinLink = *parsed;
    joinLink.code = welcome->code;
    EXPECT_EQ(formatRoomLink(joinLink).substr(0, 13), "http://[::1]:");
}

TEST(RelayClientUnresolvableTest, AnUnknownHostClosesWithAReason) {
    RelayClient client(RoomLink{"no-such-host.invalid", 8080, std::nullopt});
    EXPECT_TRUE(awaitClosed(client));
    EXPECT_FALSE(client.closeReason().empty());
}

} // namespace
} // namespace zindle::relay
