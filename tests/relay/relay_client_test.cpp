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

// A "relay" that answers the handshake and then sends frames no WebSocket peer may send. The
// connection stays open, so only the frame itself can tell the client what went wrong.
TEST(RelayClientHostileTest, AnImpossibleFrameIsReportedAsSuchAndAtOnce) {
    namespace asio = boost::asio;
    const struct {
        const char* name;
        std::string frame;
    } cases[] = {
        {"reserved opcode", std::string("\x83\x01\x00", 3)},
        {"masked by the server", std::string("\x82\x81\x01\x02\x03\x04\x05", 7)},
        {"reserved bits", std::string("\xF2\x00", 2)},
    };
    for (const auto& c : cases) {
        asio::io_context io;
        asio::ip::tcp::acceptor acceptor(io, {asio::ip::make_address("127.0.0.1"), 0});
        RoomLink link;
        link.host = "127.0.0.1";
        link.port = acceptor.local_endpoint().port();
        std::thread fake([&] {
            asio::ip::tcp::socket socket(io);
            acceptor.accept(socket);
            asio::streambuf request;
            asio::read_until(socket, request, "\r\n\r\n");
            std::istream lines(&request);
            std::string line, key;
            while (std::getline(lines, line))
                if (line.rfind("Sec-WebSocket-Key: ", 0) == 0)
                    key = line.substr(19, line.size() - 20);
            boost::beast::websocket::detail::sec_ws_accept_type acceptKey;
            boost::beast::websocket::detail::make_sec_ws_accept(acceptKey, key);
            const std::string answer = "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\n"
                                       "Connection: Upgrade\r\nSec-WebSocket-Accept: " +
                                       std::string(acceptKey.data(), acceptKey.size()) +
                                       "\r\n\r\n" + c.frame;
            asio::write(socket, asio::buffer(answer));
            std::this_thread::sleep_for(4s); // open, saying nothing more
        });
        {
            RelayClient client(link);
            const auto started = std::chrono::steady_clock::now();
            EXPECT_TRUE(awaitClosed(client)) << c.name;
            EXPECT_LT(std::chrono::steady_clock::now() - started, 3s) << c.name;
            EXPECT_NE(client.closeReason().find("impossible frame"), std::string::npos)
                << c.name << ": " << client.closeReason();
        }
        fake.join();
    }
}

} // namespace
} // namespace zindle::relay
