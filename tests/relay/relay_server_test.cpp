// The relay over loopback: a room played through real sockets, the web folder over HTTP on the
// same port, and clients that misbehave at the socket level.
#include "relay/relay_server.h"

#include "test_peer.h"

#include <boost/beast/http.hpp>
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace zindle::relay {
namespace {

using namespace std::chrono_literals;
using testing::TestPeer;
namespace http = boost::beast::http;

// The time the relay sees: the test moves it.
struct ManualClock {
    std::atomic<std::int64_t> nanoseconds{0};
    TimePoint now() const { return TimePoint(std::chrono::nanoseconds(nanoseconds.load())); }
    void advance(std::chrono::nanoseconds by) { nanoseconds += by.count(); }
};

class RelayServerTest : public ::testing::Test {
protected:
    static constexpr std::size_t kBigFileBytes = 24 * 1024 * 1024;
    void SetUp() override {
        web = std::filesystem::temp_directory_path() /
              ("zindle-relay-web-" + std::to_string(getpid()));
        std::filesystem::create_directories(web);
        std::ofstream(web / "index.html") << "<title>zindle</title>";
        std::ofstream(web / "zindle.wasm") << "\0asm";
        std::ofstream(web / "big.data") << std::string(kBigFileBytes, 'z');
        std::ofstream(web / "CMakeCache.txt") << "CMAKE_HOME_DIRECTORY=/home/someone";
        std::ofstream(web / "published-files.txt") << "index.html\nzindle.wasm\nbig.data\n";
    }
    void TearDown() override {
        server.reset();
        std::filesystem::remove_all(web);
    }
    void start(RelayOptions options = {}, std::string address = "127.0.0.1",
               unsigned short atPort = 0) {
        options.address = std::move(address);
        options.port = atPort;
        options.webRoot = web;
        options.clock = [this] { return clock.now(); };
        options.log = [this](std::string_view line) {
            std::lock_guard lock(logMutex);
            logs.emplace_back(line);
        };
        server = std::make_unique<RelayServer>(options);
        port = server->listen();
        server->runInBackground();
    }
    // Sends raw bytes on a plain connection and returns everything the relay answers until it
    // closes, or what came within the patience.
    std::string rawExchange(const std::string& request, std::string_view until = {}) {
        namespace asio = boost::asio;
        asio::io_context io;
        asio::ip::tcp::socket socket(io);
        socket.connect({asio::ip::make_address("127.0.0.1"), port});
        asio::write(socket, asio::buffer(request));
        std::string answer;
        std::array<char, 4096> chunk{};
        bool closed = false;
        std::function<void()> readMore = [&] {
            socket.async_read_some(
                asio::buffer(chunk), [&](boost::system::error_code e, std::size_t n) {
                    answer.append(chunk.data(), n);
                    if (e)
                        closed = true;
                    else if (until.empty() || answer.find(until) == std::string::npos)
                        readMore();
                });
        };
        readMore();
        io.run_for(testing::kPatience);
        lastExchangeClosed = closed;
        return answer;
    }

    std::filesystem::path web;
    ManualClock clock;
    std::mutex logMutex;
    std::vector<std::string> logs;
    std::size_t logsContaining(std::string_view text) {
        std::lock_guard lock(logMutex);
        return static_cast<std::size_t>(
            std::count_if(logs.begin(), logs.end(), [text](const std::string& line) {
                return line.find(text) != std::string::npos;
            }));
    }

    std::unique_ptr<RelayServer> server;
    unsigned short port = 0;
    bool lastExchangeClosed = false;
};

TEST_F(RelayServerTest, TwoPeersShareARoomAndExchangeData) {
    start();
    TestPeer host(port), guest(port, "/ws/whatever");
    ASSERT_TRUE(host.isOpen() && guest.isOpen());
    host.send(OpenRoom{});
    const auto welcome = host.receiveA<Welcome>();
    ASSERT_TRUE(welcome);
    guest.send(JoinRoom{welcome->code});
    ASSERT_TRUE(guest.receiveA<Welcome>());
    guest.send(ClaimSeat{2});
    const auto seats = host.receiveA<SeatMap>();
    ASSERT_TRUE(seats);
    guest.send(Data{0b0100, {1, 2, 3}});
    const auto forwarded = host.receiveA<Forward>();
    ASSERT_TRUE(forwarded);
    EXPECT_EQ(*forwarded, (Forward{1, 0b0100, {1, 2, 3}}));
    host.send(Ping{77});
    EXPECT_EQ(host.receiveA<Pong>(), Pong{77});
}

// A relay on IPv4 loopback is on IPv6 loopback too: a link may name either, and peers that came
// by different ones share a room.
TEST_F(RelayServerTest, LoopbackOnEitherFamilyReachesTheSameRooms) {
    if (!testing::ipv6LoopbackWorks())
        GTEST_SKIP() << "this machine has no IPv6 loopback: the ::1 cases cannot run";
    const struct {
        std::string listen;
        std::string hostBy;
        std::string guestBy;
    } cases[] = {
        {"127.0.0.1", "127.0.0.1", "::1"},
        {"127.0.0.1", "::1", "127.0.0.1"},
        {"::1", "::1", "::1"},
    };
    for (const auto& c : cases) {
        start({}, c.listen);
        EXPECT_TRUE(server->listensOnIpv6()) << c.listen;
        // The peers go before the relay, so that it need not wait for them to answer its close.
        [&] {
            TestPeer host(port, "/ws", c.hostBy);
            ASSERT_TRUE(host.isOpen()) << c.listen << " by " << c.hostBy;
            host.send(OpenRoom{});
            const auto welcome = host.receiveA<Welcome>();
            ASSERT_TRUE(welcome) << c.listen;
            TestPeer guest(port, "/ws/" + toString(welcome->code), c.guestBy);
            ASSERT_TRUE(guest.isOpen()) << c.listen << " by " << c.guestBy;
            guest.send(JoinRoom{welcome->code});
            ASSERT_TRUE(guest.receiveA<Welcome>()) << c.listen;
            guest.send(Data{0, {9}});
            EXPECT_EQ(host.receiveA<Forward>(), (Forward{1, 0, {9}})) << c.listen;
        }();
        server.reset();
    }
    EXPECT_EQ(logsContaining("IPv6"), 0u);
}

// ::1 taken at the relay's port (as on a machine without IPv6, the twin cannot listen): the
// relay goes on over IPv4 and says so in one line.
TEST_F(RelayServerTest, WithoutItsIpv6TwinTheRelayGoesOnOverIpv4) {
    if (!testing::ipv6LoopbackWorks())
        GTEST_SKIP() << "this machine has no IPv6 loopback: nothing to take away";
    namespace asio = boost::asio;
    asio::io_context io;
    asio::ip::tcp::acceptor squatter(io);
    squatter.open(asio::ip::tcp::v6());
    squatter.set_option(asio::ip::v6_only(true));
    squatter.bind({asio::ip::address_v6::loopback(), 0});
    squatter.listen();
    const unsigned short taken = squatter.local_endpoint().port();
    try {
        start({}, "127.0.0.1", taken);
    } catch (const std::runtime_error& error) {
        GTEST_SKIP() << "IPv4 port " << taken << " is in use as well: " << error.what();
    }
    EXPECT_EQ(port, taken);
    EXPECT_FALSE(server->listensOnIpv6());
    EXPECT_EQ(logsContaining("no IPv6"), 1u);
    TestPeer peer(port);
    ASSERT_TRUE(peer.isOpen());
    peer.send(Ping{5});
    EXPECT_EQ(peer.receiveA<Pong>(), Pong{5});
}

TEST_F(RelayServerTest, ServesTheWebFolderOnTheSamePort) {
    start();
    const struct {
        std::string request;
        std::string_view expect;
    } cases[] = {
        {"GET / HTTP/1.1\r\nHost: a\r\n\r\n", "<title>zindle</title>"},
        {"GET /zindle.wasm HTTP/1.1\r\nHost: a\r\n\r\n", "Content-Type: application/wasm"},
        {"HEAD /index.html HTTP/1.1\r\nHost: a\r\n\r\n", "Content-Length: 21"},
        {"GET /../etc/passwd HTTP/1.1\r\nHost: a\r\n\r\n", "400 Bad Request"},
        {"GET /%2e%2e/%2e%2e/etc/passwd HTTP/1.1\r\nHost: a\r\n\r\n", "400 Bad Request"},
        {"GET /nothing HTTP/1.1\r\nHost: a\r\n\r\n", "404 Not Found"},
        {"GET /CMakeCache.txt HTTP/1.1\r\nHost: a\r\n\r\n", "404 Not Found"},
        {"POST / HTTP/1.1\r\nHost: a\r\nContent-Length: 0\r\n\r\n", "405 Method Not Allowed"},
        {"GET /ws HTTP/1.1\r\nHost: a\r\nConnection: Upgrade\r\nUpgrade: websocket\r\n"
         "Sec-WebSocket-Version: 13\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n",
         "101 Switching Protocols"},
        {"GET /elsewhere HTTP/1.1\r\nHost: a\r\nConnection: Upgrade\r\nUpgrade: websocket\r\n"
         "Sec-WebSocket-Version: 13\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n",
         "404 Not Found"},
    };
    for (const auto& c : cases)
        EXPECT_NE(rawExchange(c.request, c.expect).find(c.expect), std::string::npos) << c.request;
}

// The build's compressed copies go to browsers that accept them, and a browser that holds the
// file already is answered 304 without a body.
TEST_F(RelayServerTest, SendsCompressedCopiesAndAnswersValidatorsWith304) {
    std::ofstream(web / "zindle.wasm.br") << "brotli";
    start();
    const std::string brotli = rawExchange(
        "GET /zindle.wasm HTTP/1.1\r\nHost: a\r\nAccept-Encoding: gzip, br\r\n\r\n", "brotli");
    EXPECT_NE(brotli.find("Content-Encoding: br"), std::string::npos) << brotli;
    EXPECT_NE(brotli.find("Vary: Accept-Encoding"), std::string::npos) << brotli;
    const std::string plain =
        rawExchange("GET /zindle.wasm HTTP/1.1\r\nHost: a\r\n\r\n", "\r\n\r\n");
    EXPECT_EQ(plain.find("Content-Encoding"), std::string::npos) << plain;

    const std::size_t at = brotli.find("ETag: ");
    ASSERT_NE(at, std::string::npos) << brotli;
    const std::string etag = brotli.substr(at + 6, brotli.find("\r\n", at) - at - 6);
    const std::size_t since = brotli.find("Last-Modified: ");
    ASSERT_NE(since, std::string::npos) << brotli;
    const std::string lastModified =
        brotli.substr(since + 15, brotli.find("\r\n", since) - since - 15);
    const struct {
        std::string headers;
        std::string_view expect;
    } cases[] = {
        {"Accept-Encoding: br\r\nIf-None-Match: " + etag, "304 Not Modified"},
        {"Accept-Encoding: br\r\nIf-Modified-Since: " + lastModified, "304 Not Modified"},
        // Another encoding is another representation: its own tag.
        {"If-None-Match: " + etag, "200 OK"},
        {"Accept-Encoding: br\r\nIf-None-Match: \"other\"", "200 OK"},
        {"Accept-Encoding: br\r\nIf-Modified-Since: Thu, 01 Jan 1970 00:00:00 GMT", "200 OK"},
    };
    for (const auto& c : cases) {
        const std::string answer = rawExchange(
            "GET /zindle.wasm HTTP/1.1\r\nHost: a\r\n" + c.headers + "\r\n\r\n", "\r\n\r\n");
        EXPECT_NE(answer.find(c.expect), std::string::npos) << c.headers << "\n" << answer;
    }
}

TEST_F(RelayServerTest, OversizedRequestsAndGarbageAreRefusedAndClosed) {
    start();
    const std::string huge =
        "GET / HTTP/1.1\r\nHost: a\r\nX: " + std::string(20000, 'a') + "\r\n\r\n";
    const std::string withBody = "GET / HTTP/1.1\r\nHost: a\r\nContent-Length: 100000\r\n\r\n";
    for (const std::string& request :
         {huge, withBody, std::string("\x16\x03\x01 not http\r\n\r\n")}) {
        const std::string answer = rawExchange(request);
        EXPECT_TRUE(lastExchangeClosed) << request.substr(0, 40);
        EXPECT_EQ(answer.find("200 OK"), std::string::npos) << request.substr(0, 40);
    }
}

TEST_F(RelayServerTest, HalfOpenHttpConnectionIsClosedAfterTheRequestTimeout) {
    RelayOptions options;
    options.requestTimeout = 1s;
    start(options);
    rawExchange("GET / HTTP/1.1\r\nHost: a\r\n");
    EXPECT_TRUE(lastExchangeClosed);
}

TEST_F(RelayServerTest, OversizedAndMalformedMessagesCloseOnlyTheirConnection) {
    start();
    TestPeer host(port), big(port), garbage(port);
    host.send(OpenRoom{});
    ASSERT_TRUE(host.receiveA<Welcome>());
    big.sendBytes(Bytes(kMaxMessageBytes + 1, kProtocolVersion));
    EXPECT_TRUE(big.closedByRelay());
    garbage.sendBytes({0xFF, 0xFF, 0xFF});
    EXPECT_TRUE(garbage.closedByRelay());
    host.send(Ping{1});
    EXPECT_TRUE(host.receiveA<Pong>());
}

TEST_F(RelayServerTest, RoomExpiresOnTheRelaysClockAndSilentPeersAreDropped) {
    RelayOptions options;
    options.rules.lobbyLimit = 3600s; // the host waits outside its room for the whole minute
    start(options);
    // Each peer's Pong shows the relay has handled everything that peer sent before it.
    TestPeer host(port), quiet(port);
    host.send(OpenRoom{});
    const RoomCodeText code = host.receiveA<Welcome>()->code;
    host.send(Leave{});
    host.send(Ping{1});
    ASSERT_TRUE(host.receiveA<Pong>());
    quiet.send(Ping{2});
    ASSERT_TRUE(quiet.receiveA<Pong>());
    clock.advance(2s);
    host.send(Ping{3});
    ASSERT_TRUE(host.receiveA<Pong>());
    clock.advance(2s);
    server->tickNow();
    EXPECT_TRUE(quiet.closedByRelay()) << "silent for longer than three seconds";
    clock.advance(57s);
    host.send(Ping{4});
    ASSERT_TRUE(host.receiveA<Pong>());
    server->tickNow();
    host.send(JoinRoom{code});
    EXPECT_EQ(host.receiveA<Error>(), Error{ErrorCode::RoomNotFound});
}

TEST_F(RelayServerTest, StoppingTellsEveryRoomAndEnds) {
    start();
    TestPeer host(port);
    host.send(OpenRoom{});
    ASSERT_TRUE(host.receiveA<Welcome>());
    server->stop();
    EXPECT_EQ(host.receiveA<RoomClosed>(), RoomClosed{CloseReason::RelayStopping});
    EXPECT_TRUE(host.closedByRelay());
    server.reset();
}

TEST_F(RelayServerTest, ConnectionsPerAddressAreCapped) {
    RelayOptions options;
    options.maxConnectionsPerAddress = 2;
    start(options);
    TestPeer first(port), second(port), third(port);
    EXPECT_TRUE(first.isOpen() && second.isOpen());
    EXPECT_FALSE(third.isOpen());
}

// The cap counts an IPv6 /64 as one client, however many addresses it sends from.
TEST(ConnectionNetworkTest, AddressesAreCappedByTheirNetwork) {
    const struct {
        const char* address;
        const char* network;
    } cases[] = {
        {"192.0.2.7", "192.0.2.7"},
        {"2001:db8:1:2:aaaa:bbbb:cccc:dddd", "2001:db8:1:2::/64"},
        {"2001:db8:1:2::1", "2001:db8:1:2::/64"},
        {"::ffff:192.0.2.7", "192.0.2.7"},
        {"::1", "::/64"},
        {"not an address", "not an address"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(connectionNetwork(c.address), c.network) << c.address;
}

TEST_F(RelayServerTest, ConnectionsPerIpv6NetworkAreCapped) {
    if (!testing::ipv6LoopbackWorks())
        GTEST_SKIP() << "this machine has no IPv6 loopback";
    RelayOptions options;
    options.maxConnectionsPerAddress = 10;
    options.maxConnectionsPerNetwork = 2;
    start(options, "::1");
    TestPeer first(port, "/ws", "::1"), second(port, "/ws", "::1"), third(port, "/ws", "::1");
    EXPECT_TRUE(first.isOpen() && second.isOpen());
    EXPECT_FALSE(third.isOpen());
}

// A peer that never reads: once a write to it has made no progress for the limit, it is closed
// and its queue freed, while the room plays on.
TEST_F(RelayServerTest, APeerThatReadsNothingIsClosedOnceWritesStall) {
    RelayOptions options;
    options.maxQueuedBytesPerConnection = 1024 * 1024 * 1024;
    options.writeStallLimit = 2s;
    options.rules.byteBurst = 1e9;
    options.rules.silenceLimit = 60s; // the idle peer is silent too; that is not the point here
    start(options);
    TestPeer host(port), idle(port);
    host.send(OpenRoom{});
    const RoomCodeText code = host.receiveA<Welcome>()->code;
    idle.send(JoinRoom{code});
    host.send(ClaimSeat{0});
    ASSERT_TRUE(host.receiveA<SeatMap>());
    // Enough to fill the sockets' buffers: the relay's write to the idle peer stays out.
    const Bytes big = encode(Data{1, Bytes(kMaxPayloadBytes, 7)});
    for (int i = 0; i < 160; ++i)
        host.sendBytes(big);
    clock.advance(1s);
    host.send(Ping{1});
    ASSERT_TRUE(host.receiveA<Pong>());
    server->tickNow();
    EXPECT_EQ(logsContaining("read nothing"), 0u) << "not yet";
    clock.advance(2s);
    host.send(Ping{2});
    ASSERT_TRUE(host.receiveA<Pong>());
    server->tickNow();
    EXPECT_EQ(logsContaining("read nothing for 2 s"), 1u);
    host.send(Ping{3});
    EXPECT_TRUE(host.receiveA<Pong>()) << "the room plays on";
}

// Out of descriptors, the relay waits instead of failing accept after accept, says so once,
// and takes connections again when some have closed.
TEST_F(RelayServerTest, OutOfDescriptorsTheRelayPausesAndSaysSoOnce) {
    start();
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    std::size_t open = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        (void)entry, ++open;
    rlimit tight = saved;
    tight.rlim_cur = open + 16;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
    {
        namespace asio = boost::asio;
        asio::io_context io;
        std::vector<asio::ip::tcp::socket> clients;
        for (int i = 0; i < 12; ++i) {
            clients.emplace_back(io);
            boost::system::error_code error;
            clients.back().connect({asio::ip::make_address("127.0.0.1"), port}, error);
        }
        std::this_thread::sleep_for(1s);
    }
    setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_EQ(logsContaining("out of file descriptors"), 1u);
    std::this_thread::sleep_for(500ms);
    TestPeer later(port);
    EXPECT_TRUE(later.isOpen()) << "accepting again once descriptors are free";
}

// One address saying the same wrong thing a thousand times writes a few lines and a summary.
TEST_F(RelayServerTest, LogLinesAboutOneAddressAreThrottled) {
    start();
    TestPeer guesser(port);
    for (int i = 0; i < 200; ++i)
        guesser.send(JoinRoom{*parseRoomCode("2222222222222")});
    guesser.send(Ping{1});
    bool answered = false;
    for (int i = 0; i < 16 && !answered; ++i)
        answered = guesser.receiveA<Pong>().has_value();
    ASSERT_TRUE(answered);
    EXPECT_LE(logsContaining("address=127.0.0.1"), 20u);
    clock.advance(11s);
    server->tickNow();
    EXPECT_EQ(logsContaining("more lines about 127.0.0.1"), 1u);
}

// A download is limited by its progress, not by its length: a steady slow reader gets the whole
// file, one that stops reading is let go with a line.
TEST_F(RelayServerTest, DownloadsTimeOutOnProgressNotOnLength) {
    RelayOptions options;
    options.requestTimeout = 2s;
    start(options);
    namespace asio = boost::asio;
    for (const bool reads : {true, false}) {
        asio::io_context io;
        asio::ip::tcp::socket socket(io);
        socket.open(asio::ip::tcp::v4());
        socket.set_option(asio::socket_base::receive_buffer_size(64 * 1024));
        socket.connect({asio::ip::make_address("127.0.0.1"), port});
        asio::write(socket, asio::buffer(std::string("GET /big.data HTTP/1.1\r\nHost: a\r\n\r\n")));
        std::size_t received = 0;
        std::array<char, 64 * 1024> chunk{};
        boost::system::error_code error;
        const auto until = std::chrono::steady_clock::now() + (reads ? 20s : 4s);
        while (std::chrono::steady_clock::now() < until && received < kBigFileBytes) {
            if (!reads) {
                std::this_thread::sleep_for(100ms);
                continue;
            }
            // At most about 6 MB a second: the file takes four seconds, twice the timeout.
            received += socket.read_some(asio::buffer(chunk), error);
            if (error)
                break;
            std::this_thread::sleep_for(10ms);
        }
        if (reads)
            EXPECT_GT(received, kBigFileBytes) << "the whole file and its header";
        else
            EXPECT_EQ(logsContaining("download made no progress"), 1u);
    }
}

} // namespace
} // namespace zindle::relay
