// The relay's rooms without sockets: seats, forwarding, leaving, expiry and the hostile cases,
// all on a clock the test moves.
#include "relay/room_directory.h"

#include <gtest/gtest.h>

#include <set>

namespace zindle::relay {
namespace {

using namespace std::chrono_literals;

class RecordingTransport : public Transport {
public:
    void send(ConnectionId connection, SharedBytes message) override {
        const Decoded decoded = decode(*message);
        ASSERT_TRUE(decoded.message) << "the relay wrote a message it cannot read";
        inbox[connection].push_back(*decoded.message);
    }
    void close(ConnectionId connection) override { closed.insert(connection); }

    std::map<ConnectionId, std::vector<Message>> inbox;
    std::set<ConnectionId> closed;
};

// A fixed sequence of bytes: each room gets the next code, so tests know them.
RandomSource countingRandom() {
    auto counter = std::make_shared<std::uint8_t>(0);
    return [counter](std::span<std::uint8_t> out) {
        std::fill(out.begin(), out.end(), 0);
        out.back() = ++*counter;
    };
}

class RoomDirectoryTest : public ::testing::Test {
protected:
    explicit RoomDirectoryTest(RoomRules rules = {})
        : directory(
              rules, transport, [this](std::string_view line) { logs.emplace_back(line); },
              countingRandom()) {}

    void connect(ConnectionId id, std::string address = "127.0.0.1") {
        directory.connected(id, std::move(address), now);
    }
    void say(ConnectionId id, const Message& message) {
        const Bytes bytes = encode(message);
        directory.received(id, bytes, now);
    }
    std::vector<Message> take(ConnectionId id) { return std::exchange(transport.inbox[id], {}); }
    template <class T> std::vector<T> taken(ConnectionId id) {
        std::vector<T> found;
        for (const Message& m : take(id))
            if (auto* t = std::get_if<T>(&m))
                found.push_back(*t);
        return found;
    }
    // Opens a room on connection 1 and lets connections 2.. join; returns the code.
    RoomCodeText roomWith(int peers) {
        connect(1);
        say(1, OpenRoom{});
        const RoomCodeText code = taken<Welcome>(1).at(0).code;
        for (ConnectionId id = 2; id <= static_cast<ConnectionId>(peers); ++id) {
            connect(id);
            say(id, JoinRoom{code});
        }
        for (ConnectionId id = 1; id <= static_cast<ConnectionId>(peers); ++id)
            take(id);
        return code;
    }
    std::uint8_t lastError(ConnectionId id) {
        const auto errors = taken<Error>(id);
        return errors.empty() ? 0 : static_cast<std::uint8_t>(errors.back().code);
    }

    RecordingTransport transport;
    std::vector<std::string> logs;
    TimePoint now{};
    RoomDirectory directory;
};

TEST_F(RoomDirectoryTest, HostOpensAndOthersJoinWithTheirPeerNumbers) {
    connect(1);
    say(1, OpenRoom{});
    const auto welcome = taken<Welcome>(1);
    ASSERT_EQ(welcome.size(), 1u);
    EXPECT_TRUE(welcome[0].host);
    EXPECT_EQ(welcome[0].peer, 0);
    connect(2);
    say(2, JoinRoom{welcome[0].code});
    const auto joined = take(2);
    ASSERT_GE(joined.size(), 3u);
    EXPECT_EQ(joined[0], Message(Welcome{welcome[0].code, 1, false}));
    EXPECT_EQ(joined[1], Message(PeerJoined{0}));
    EXPECT_EQ(taken<PeerJoined>(1), std::vector<PeerJoined>{PeerJoined{1}});
}

TEST_F(RoomDirectoryTest, FirstClaimWinsAndReleaseFreesTheSeat) {
    roomWith(3);
    say(2, ClaimSeat{1});
    say(3, ClaimSeat{1});
    EXPECT_EQ(lastError(3), static_cast<std::uint8_t>(ErrorCode::SeatTaken));
    const auto maps = taken<SeatMap>(1);
    ASSERT_EQ(maps.size(), 1u);
    EXPECT_EQ(maps[0].holders[1], 1);
    say(3, ReleaseSeat{1});
    EXPECT_EQ(lastError(3), static_cast<std::uint8_t>(ErrorCode::SeatNotHeld));
    say(2, ReleaseSeat{1});
    say(3, ClaimSeat{1});
    EXPECT_EQ(taken<SeatMap>(1).back().holders[1], 2);
}

TEST_F(RoomDirectoryTest, DataGoesToEveryOtherPeerOnlyForSeatsTheSenderHolds) {
    roomWith(3);
    say(1, ClaimSeat{0});
    say(2, ClaimSeat{2});
    for (ConnectionId id : {1, 2, 3})
        take(id);
    say(2, Data{0b0100, {7, 8}});
    EXPECT_TRUE(take(2).empty()) << "a peer does not hear itself";
    for (ConnectionId id : {1, 3})
        EXPECT_EQ(take(id), (std::vector<Message>{Forward{1, 0b0100, {7, 8}}}));

    const struct {
        std::uint8_t seats;
        const char* what;
    } refused[] = {
        {0b0001, "another peer's seat"}, {0b0110, "one held, one free"}, {0b1000, "a free seat"}};
    for (const auto& c : refused) {
        say(2, Data{c.seats, {1}});
        EXPECT_EQ(lastError(2), static_cast<std::uint8_t>(ErrorCode::SeatNotHeld)) << c.what;
        EXPECT_TRUE(take(1).empty() && take(3).empty()) << c.what;
    }
    EXPECT_TRUE(transport.closed.empty()) << "refused data is dropped, the peer stays";
}

TEST_F(RoomDirectoryTest, RequestsOutOfOrderAreRefusedWithoutChangingAnything) {
    const RoomCodeText code = roomWith(2);
    connect(9);
    const struct {
        ConnectionId from;
        Message message;
        ErrorCode error;
    } cases[] = {
        {9, Data{0, {1}}, ErrorCode::NotInRoom},       {9, ClaimSeat{0}, ErrorCode::NotInRoom},
        {9, ReleaseSeat{0}, ErrorCode::NotInRoom},     {9, Leave{}, ErrorCode::NotInRoom},
        {2, JoinRoom{code}, ErrorCode::AlreadyInRoom}, {1, OpenRoom{}, ErrorCode::AlreadyInRoom},
        {2, OpenRoom{}, ErrorCode::AlreadyInRoom},
    };
    for (const auto& c : cases) {
        say(c.from, c.message);
        EXPECT_EQ(lastError(c.from), static_cast<std::uint8_t>(c.error)) << c.message.index();
    }
    EXPECT_EQ(directory.roomCount(), 1u);
    EXPECT_TRUE(take(1).empty());
    EXPECT_TRUE(transport.closed.empty());
}

TEST_F(RoomDirectoryTest, MalformedOrRelayOnlyMessagesCloseTheConnection) {
    const std::vector<Bytes> hostile = {
        {},
        {kProtocolVersion},
        {9, 1},
        {kProtocolVersion, 250},
        encode(Welcome{}),
        encode(Forward{0, 1, {1}}),
        encode(SeatMap{}),
    };
    ConnectionId id = 10;
    for (const Bytes& bytes : hostile) {
        connect(id);
        directory.received(id, bytes, now);
        EXPECT_TRUE(transport.closed.contains(id)) << id;
        EXPECT_EQ(lastError(id), static_cast<std::uint8_t>(ErrorCode::Malformed)) << id;
        ++id;
    }
    EXPECT_EQ(directory.connectionCount(), 0u);
}

TEST_F(RoomDirectoryTest, LeavingFreesSeatsAndTellsTheOthers) {
    const RoomCodeText code = roomWith(3);
    say(3, ClaimSeat{3});
    take(1);
    say(3, Leave{});
    const auto toHost = take(1);
    EXPECT_NE(std::find(toHost.begin(), toHost.end(), Message(PeerLeft{2})), toHost.end());
    EXPECT_EQ(taken<SeatMap>(2).back().holders[3], kNoPeer);
    // The one who left may join again and gets the lowest free number back.
    say(3, JoinRoom{code});
    EXPECT_EQ(taken<Welcome>(3).at(0).peer, 2);
}

TEST_F(RoomDirectoryTest, StandaloneRoomOutlivesItsHost) {
    roomWith(2);
    directory.disconnected(1, now);
    const auto told = take(2);
    EXPECT_NE(std::find(told.begin(), told.end(), Message(HostGone{})), told.end());
    EXPECT_EQ(directory.roomCount(), 1u);
    say(2, Data{0, {1}});
    EXPECT_EQ(lastError(2), 0);
}

class EmbeddedRoomDirectoryTest : public RoomDirectoryTest {
protected:
    EmbeddedRoomDirectoryTest() : RoomDirectoryTest(RoomRules{.hostLeavingClosesRoom = true}) {}
};

TEST_F(EmbeddedRoomDirectoryTest, HostLeavingClosesTheRoomForEveryone) {
    roomWith(3);
    say(1, Leave{});
    for (ConnectionId id : {2, 3}) {
        const auto told = take(id);
        EXPECT_NE(std::find(told.begin(), told.end(), Message(RoomClosed{CloseReason::HostLeft})),
                  told.end());
        say(id, Data{0, {1}});
        EXPECT_EQ(lastError(id), static_cast<std::uint8_t>(ErrorCode::NotInRoom));
    }
    EXPECT_EQ(directory.roomCount(), 0u);
}

TEST_F(RoomDirectoryTest, EmptyRoomGoesAfterSixtySecondsNotBefore) {
    const RoomCodeText code = roomWith(1);
    directory.disconnected(1, now);
    now += 59s;
    directory.tick(now);
    EXPECT_TRUE(directory.hasRoom(code));
    // Someone back in the room resets the count.
    connect(2);
    say(2, JoinRoom{code});
    directory.disconnected(2, now);
    now += 59s;
    directory.tick(now);
    EXPECT_TRUE(directory.hasRoom(code));
    now += 1s;
    directory.tick(now);
    EXPECT_FALSE(directory.hasRoom(code));
}

TEST_F(RoomDirectoryTest, SilentPeerIsDroppedAfterThreeSecondsAndTheOthersPlayOn) {
    roomWith(2);
    for (int i = 0; i < 7; ++i) {
        now += 500ms;
        say(1, Ping{static_cast<std::uint32_t>(i)});
        directory.tick(now);
    }
    EXPECT_TRUE(transport.closed.contains(2));
    EXPECT_FALSE(transport.closed.contains(1));
    EXPECT_EQ(taken<Pong>(1).size(), 7u);
    EXPECT_EQ(directory.roomCount(), 1u);
}

TEST_F(RoomDirectoryTest, HalfOpenConnectionThatNeverSpeaksIsDropped) {
    connect(5);
    now += 3001ms;
    directory.tick(now);
    EXPECT_TRUE(transport.closed.contains(5));
}

// Connections that speak but never join (or left their room and stay) hold a slot of the
// relay's cap: they get ten seconds.
TEST_F(RoomDirectoryTest, AConnectionInNoRoomIsClosedAfterTenSeconds) {
    connect(1); // never joins
    connect(2);
    say(2, OpenRoom{}); // in a room, then out of it after five seconds
    for (int second = 1; second <= 16; ++second) {
        now += 1s;
        for (ConnectionId id : {1, 2})
            say(id, Ping{0});
        if (second == 5)
            say(2, Leave{});
        directory.tick(now);
        EXPECT_EQ(transport.closed.contains(1), second > 10) << "second " << second;
        EXPECT_EQ(transport.closed.contains(2), second > 15) << "second " << second;
    }
}

// Seats held by a peer that sends nothing while the others play are released; a holder with
// nobody to play with keeps its seat however quiet it is.
TEST_F(RoomDirectoryTest, SeatsOfAHolderThatSendsNothingAreReleased) {
    roomWith(2);
    say(1, ClaimSeat{0});
    for (std::uint8_t seat : {1, 2, 3})
        say(2, ClaimSeat{seat});
    take(1);
    for (int second = 1; second <= 11; ++second) {
        now += 1s;
        say(1, Data{0b0001, {1}});
        say(2, Ping{0});
        directory.tick(now);
    }
    const auto maps = taken<SeatMap>(1);
    ASSERT_FALSE(maps.empty());
    EXPECT_EQ(maps.back().holders,
              (std::array<std::uint8_t, kSeatCount>{0, kNoPeer, kNoPeer, kNoPeer}));

    // Alone in a room of its own, a holder has nobody to send to.
    connect(9);
    say(9, OpenRoom{});
    say(9, ClaimSeat{0});
    for (int second = 1; second <= 30; ++second) {
        now += 1s;
        say(1, Data{0b0001, {1}});
        say(9, Ping{0});
        directory.tick(now);
    }
    EXPECT_EQ(taken<SeatMap>(9).back().holders[0], 0);
}

TEST_F(RoomDirectoryTest, GuessingCodesIsRateLimitedPerAddress) {
    connect(1, "10.0.0.1");
    connect(2, "10.0.0.2");
    int refused = 0;
    for (int i = 0; i < 50; ++i) {
        say(1, JoinRoom{*parseRoomCode("2222222222222")});
        refused += lastError(1) == static_cast<std::uint8_t>(ErrorCode::RateLimited);
    }
    EXPECT_EQ(refused, 50 - 8);
    say(2, JoinRoom{*parseRoomCode("2222222222222")});
    EXPECT_EQ(lastError(2), static_cast<std::uint8_t>(ErrorCode::RoomNotFound))
        << "another address has its own allowance";
    now += 2s;
    say(1, JoinRoom{*parseRoomCode("2222222222222")});
    EXPECT_EQ(lastError(1), static_cast<std::uint8_t>(ErrorCode::RoomNotFound));
}

TEST_F(RoomDirectoryTest, FloodClosesTheConnection) {
    roomWith(2);
    say(2, ClaimSeat{0});
    int sent = 0;
    while (!transport.closed.contains(2) && sent < 100000) {
        say(2, Data{1, Bytes(1000, 1)});
        ++sent;
    }
    EXPECT_TRUE(transport.closed.contains(2));
    EXPECT_LT(sent, 5000) << "a burst of about four megabytes";
    EXPECT_EQ(directory.connectionCount(), 1u);
}

TEST_F(RoomDirectoryTest, SteadyTrafficUnderTheRateIsNeverCut) {
    roomWith(2);
    say(2, ClaimSeat{0});
    for (int i = 0; i < 60 * 120; ++i) {
        now += 16667us;
        say(2, Data{1, Bytes(200, 1)});
    }
    EXPECT_FALSE(transport.closed.contains(2));
}

TEST_F(RoomDirectoryTest, LogsNameNoMoreThanAnAddressAndARoom) {
    const RoomCodeText code = roomWith(2);
    say(2, Data{0b1000, {1}});
    directory.disconnected(2, now);
    ASSERT_FALSE(logs.empty());
    for (const std::string& line : logs) {
        std::string rest = line;
        for (const std::string& allowed :
             {std::string("address=127.0.0.1"), "room=" + toString(code)})
            if (auto at = rest.find(allowed); at != std::string::npos)
                rest.erase(at, allowed.size());
        EXPECT_EQ(rest.find('='), std::string::npos) << line;
    }
}

class CappedRoomDirectoryTest : public RoomDirectoryTest {
protected:
    CappedRoomDirectoryTest() : RoomDirectoryTest(RoomRules{.maxRooms = 2, .maxPeersPerRoom = 3}) {}
};

TEST_F(CappedRoomDirectoryTest, RoomsAndPeersAreCapped) {
    const RoomCodeText code = roomWith(3);
    connect(4);
    say(4, JoinRoom{code});
    EXPECT_EQ(lastError(4), static_cast<std::uint8_t>(ErrorCode::RoomFull));
    say(4, OpenRoom{});
    EXPECT_EQ(lastError(4), 0);
    connect(5);
    say(5, OpenRoom{});
    EXPECT_EQ(lastError(5), static_cast<std::uint8_t>(ErrorCode::TooManyRooms));
}

TEST_F(RoomDirectoryTest, ABrokenRandomSourceNeverHandsOutACodeTwice) {
    RecordingTransport local;
    RoomDirectory stuck({}, local, {},
                        [](std::span<std::uint8_t> out) { std::fill(out.begin(), out.end(), 0); });
    stuck.connected(1, "a", now);
    stuck.connected(2, "a", now);
    stuck.received(1, encode(OpenRoom{}), now);
    stuck.received(2, encode(OpenRoom{}), now);
    EXPECT_EQ(stuck.roomCount(), 1u);
    EXPECT_EQ(std::get<Error>(local.inbox[2].back()).code, ErrorCode::TooManyRooms);
}

} // namespace
} // namespace zindle::relay
