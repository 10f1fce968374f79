// /metrics and /healthz on a relay on loopback: the counters follow a relayed match, and the
// endpoints refuse what they should before the relay serves anything else.
#include "relay/relay_server.h"

#include "test_peer.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

namespace zindle::relay {
namespace {

using testing::TestPeer;

class RelayMetricsEndpointTest : public ::testing::Test {
protected:
    void start(OperatorAccess access = OperatorAccess::loopbackOnly()) {
        RelayOptions options;
        options.address = "127.0.0.1";
        options.port = 0;
        options.operatorAccess = std::move(access);
        server = std::make_unique<RelayServer>(options);
        port = server->listen();
        server->runInBackground();
    }

    // One request on a fresh connection; the whole answer, status line first.
    std::string ask(const std::string& request) {
        namespace asio = boost::asio;
        asio::io_context io;
        asio::ip::tcp::socket socket(io);
        socket.connect({asio::ip::make_address("127.0.0.1"), port});
        asio::write(socket, asio::buffer(request));
        std::string answer;
        std::array<char, 4096> chunk{};
        std::function<void()> readMore = [&] {
            socket.async_read_some(asio::buffer(chunk),
                                   [&](boost::system::error_code e, std::size_t n) {
                                       answer.append(chunk.data(), n);
                                       if (!e)
                                           readMore();
                                   });
        };
        readMore();
        io.run_for(testing::kPatience);
        return answer;
    }

    // Every unlabelled sample, and refusals by reason as "refusals_total{reason=...}".
    std::map<std::string, std::uint64_t> scrape() {
        const std::string answer =
            ask("GET /metrics HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n");
        EXPECT_NE(answer.find("Content-Type: text/plain; version=0.0.4"), std::string::npos);
        std::map<std::string, std::uint64_t> samples;
        std::istringstream lines(answer.substr(answer.find("\r\n\r\n") + 4));
        std::string name;
        std::uint64_t value = 0;
        for (std::string line; std::getline(lines, line);) {
            std::istringstream fields(line);
            if (line.starts_with("zindle_relay_") && fields >> name >> value)
                samples[name.substr(13)] = value;
        }
        return samples;
    }

    std::unique_ptr<RelayServer> server;
    unsigned short port = 0;
};

TEST_F(RelayMetricsEndpointTest, CountersFollowARelayedMatch) {
    start();
    const auto before = scrape();
    EXPECT_EQ(before.at("rooms"), 0u);
    EXPECT_EQ(before.at("messages_received_total"), 0u);

    TestPeer host(port), guest(port), stranger(port);
    ASSERT_TRUE(host.isOpen() && guest.isOpen() && stranger.isOpen());
    host.send(OpenRoom{});
    const auto welcome = host.receiveA<Welcome>();
    ASSERT_TRUE(welcome);
    guest.send(JoinRoom{welcome->code});
    ASSERT_TRUE(guest.receiveA<Welcome>());
    guest.send(ClaimSeat{1});
    ASSERT_TRUE(host.receiveA<SeatMap>());
    for (std::uint8_t tick = 0; tick < 20; ++tick) {
        guest.send(Data{0b0010, {tick, 0, 0, 0}});
        ASSERT_TRUE(host.receiveA<Forward>());
    }
    RoomCodeText wrong = welcome->code;
    wrong[5] = wrong[5] == '2' ? '3' : '2';
    stranger.send(JoinRoom{wrong});
    ASSERT_TRUE(stranger.receiveA<Error>());

    const auto during = scrape();
    EXPECT_EQ(during.at("rooms"), 1u);
    EXPECT_EQ(during.at("peers"), 2u);
    EXPECT_EQ(during.at("connections"), 3u);
    // Open, join, claim, twenty inputs, the stranger's join.
    EXPECT_EQ(during.at("messages_received_total"), 24u);
    EXPECT_GT(during.at("bytes_received_total"), 20u * 4);
    EXPECT_GE(during.at("messages_sent_total"), 20u + 4);
    EXPECT_GT(during.at("bytes_sent_total"), during.at("bytes_received_total") / 2);
    EXPECT_EQ(during.at("refusals_total{reason=\"room_not_found\"}"), 1u);
    EXPECT_EQ(during.at("queued_bytes"), 0u);
}

TEST_F(RelayMetricsEndpointTest, HealthAnswersGetOnlyAndOnlyToAllowedAddresses) {
    start();
    const struct {
        std::string request;
        std::string_view status;
    } cases[] = {
        {"GET /healthz HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n", "200 OK"},
        {"HEAD /healthz HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n", "405 "},
        {"POST /metrics HTTP/1.1\r\nHost: a\r\nContent-Length: 0\r\nConnection: close\r\n\r\n",
         "405 "},
        // Through a proxy on this machine for a client elsewhere.
        {"GET /metrics HTTP/1.1\r\nHost: a\r\nX-Forwarded-For: 203.0.113.5\r\n"
         "Connection: close\r\n\r\n",
         "403 "},
        // No web folder: anything else is still not found.
        {"GET /metricsx HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n", "404 "},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(ask(c.request).starts_with("HTTP/1.1 " + std::string(c.status))) << c.request;

    std::string problem;
    server.reset();
    start(*OperatorAccess::parse("192.0.2.0/24", problem));
    EXPECT_TRUE(ask("GET /healthz HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n")
                    .starts_with("HTTP/1.1 403 "));
}

} // namespace
} // namespace zindle::relay
