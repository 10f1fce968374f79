// A peer's side of the relay conversation: refusals become one line for the player, payloads
// reach only the peer they name, bytes from the network that make no sense are dropped, and the
// outgoing queue stays bounded without losing requests.
#include "net/relay_room_code.h"
#include "net/room_channel.h"

#include <gtest/gtest.h>

namespace zindle::net {
namespace {

using namespace zindle::relay;

RoomCodeText code() {
    return *parseRoomCode("23456789ABCDE");
}

// A channel that joined a room as peer 1, with peer 0 (the host) and peer 2 there.
RoomChannel joined() {
    RoomChannel channel;
    channel.joinRoom(code());
    channel.received(encode(Welcome{code(), 1, false}));
    channel.received(encode(PeerJoined{0}));
    channel.received(encode(PeerJoined{2}));
    while (channel.takeOutgoing()) {
    }
    return channel;
}

TEST(RoomChannelTest, RefusedJoinsEndWithALineForThePlayer) {
    const struct {
        ErrorCode error;
        std::string line;
    } cases[] = {
        {ErrorCode::RoomNotFound, "this room does not exist (or is gone)"},
        {ErrorCode::RoomFull, "this room is full"},
        {ErrorCode::RateLimited, "too many tries; wait a little"},
    };
    for (const auto& c : cases) {
        RoomChannel channel;
        channel.joinRoom(code());
        EXPECT_EQ(decode(*channel.takeOutgoing()).message, Message(JoinRoom{code()}));
        channel.received(encode(Error{c.error}));
        EXPECT_EQ(channel.phase(), RoomChannel::Phase::Ended);
        EXPECT_EQ(channel.problem(), c.line);
    }
}

TEST(RoomChannelTest, TheRoomEndsForEachReasonTheRelayGives) {
    const struct {
        std::optional<Message> message; // none: the connection dropped
        std::string line;
    } cases[] = {
        {RoomClosed{CloseReason::HostLeft}, "the host left; the room is closed"},
        {RoomClosed{CloseReason::RelayStopping}, "the relay is stopping"},
        {std::nullopt, "the relay is gone"},
    };
    for (const auto& c : cases) {
        RoomChannel channel = joined();
        if (c.message)
            channel.received(encode(*c.message));
        else
            channel.disconnected("");
        EXPECT_EQ(channel.phase(), RoomChannel::Phase::Ended);
        EXPECT_EQ(channel.problem(), c.line);
        EXPECT_TRUE(channel.peers().empty());
    }
}

TEST(RoomChannelTest, PayloadsReachOnlyThePeerTheyName) {
    RoomChannel channel = joined();
    std::vector<std::pair<int, Bytes>> got;
    channel.onPeerBytes([&](int from, std::span<const std::uint8_t> bytes) {
        got.emplace_back(from, Bytes(bytes.begin(), bytes.end()));
    });
    channel.received(encode(Forward{0, 1, {1, 10, 11}}));          // to this peer
    channel.received(encode(Forward{2, 4, {kEveryPeer, 20}}));     // to everybody
    channel.received(encode(Forward{0, 1, {2, 30}}));              // to peer 2
    channel.received(encode(Forward{0, 1, {}}));                   // no destination
    channel.received(encode(Forward{1, 2, {1, 40}}));              // claims to be this peer
    channel.received(std::vector<std::uint8_t>{kProtocolVersion}); // truncated
    channel.received(encode(OpenRoom{}));                          // a request, not an answer
    const std::vector<std::pair<int, Bytes>> expected = {{0, {10, 11}}, {2, {20}}};
    EXPECT_EQ(got, expected);
    EXPECT_EQ(channel.droppedIncoming(), 4u);
    EXPECT_EQ(channel.phase(), RoomChannel::Phase::InRoom);
}

TEST(RoomChannelTest, DataNamesItsPeerAndTheSeatsHeld) {
    RoomChannel channel = joined();
    channel.received(encode(relay::SeatMap{{kNoPeer, 1, 0, 1}}));
    channel.send(0, {7, 8});
    EXPECT_EQ(decode(*channel.takeOutgoing()).message, Message(Data{0b1010, {0, 7, 8}}));
    channel.send(0, Bytes(kMaxPayloadBytes, 0)); // cannot fit with its destination byte
    EXPECT_FALSE(channel.takeOutgoing());
    EXPECT_EQ(channel.droppedOutgoing(), 1u);
}

TEST(RoomChannelTest, AFullQueueDropsDataButKeepsRequests) {
    RoomChannel channel({.maxQueuedMessages = 3, .pingEveryMs = 1000});
    channel.joinRoom(code());
    channel.received(encode(Welcome{code(), 0, true}));
    for (int i = 0; i < 5; ++i)
        channel.send(kEveryPeer, {static_cast<std::uint8_t>(i)});
    channel.claimSeat(2);
    channel.tick(0);
    channel.tick(500); // too soon for another ping
    std::vector<Message> sent;
    while (auto bytes = channel.takeOutgoing())
        sent.push_back(*decode(*bytes).message);
    const std::vector<Message> expected = {JoinRoom{code()}, ClaimSeat{2}, Ping{1}};
    EXPECT_EQ(sent, expected);
    EXPECT_EQ(channel.droppedOutgoing(), 5u);
}

TEST(RoomChannelTest, StatusTellsThePageWhoIsHere) {
    RoomChannel channel = joined();
    EXPECT_FALSE(channel.seatsKnown());
    channel.received(encode(relay::SeatMap{{0, 1, kNoPeer, kNoPeer}}));
    EXPECT_TRUE(channel.seatsKnown());
    channel.received(encode(PeerLeft{2}));
    channel.received(encode(HostGone{}));
    EXPECT_EQ(channel.statusJson(),
              "{\"phase\":\"in-room\",\"room\":\"23456789ABCDE\",\"self\":1,\"host\":false,"
              "\"hostGone\":true,\"peers\":[0],\"seats\":[0,1,-1,-1],\"problem\":\"\"}");
}

TEST(RoomChannelTest, AMatchStartsOnceThisPeerAndAnotherHoldSeats) {
    const struct {
        std::array<std::uint8_t, 4> holders;
        int ownSeat; // -1: no match yet
        std::array<int, 4> owners;
        std::vector<int> watchers;
    } cases[] = {
        {{kNoPeer, kNoPeer, kNoPeer, kNoPeer}, -1, {}, {}},
        {{0, kNoPeer, kNoPeer, kNoPeer}, -1, {}, {}},       // only the host
        {{kNoPeer, 1, kNoPeer, kNoPeer}, -1, {}, {}},       // only this peer
        {{0, 1, kNoPeer, kNoPeer}, 1, {0, 1, -1, -1}, {2}}, // peer 2 watches
        {{2, 0, 1, 1}, 2, {2, 0, 1, 1}, {}},                // two seats: the first plays
        {{0, 1, 7, kNoPeer}, 1, {0, 1, -1, -1}, {2}},       // peer 7 is not in the room
    };
    for (const auto& c : cases) {
        RoomChannel channel = joined();
        channel.received(encode(relay::SeatMap{c.holders}));
        const auto match = seatedMatch(channel);
        ASSERT_EQ(match.has_value(), c.ownSeat >= 0) << int(c.holders[0]) << int(c.holders[1]);
        if (!match)
            continue;
        EXPECT_EQ(match->ownSeat, c.ownSeat);
        EXPECT_EQ(match->config.self, 1);
        EXPECT_EQ(match->config.host, 0);
        EXPECT_EQ(match->config.seatOwners, c.owners);
        EXPECT_EQ(match->config.watchers, c.watchers);
    }
}

TEST(RoomChannelTest, TheSeedIsTheRoomCodes) {
    EXPECT_EQ(matchSeed(code()), matchSeed(*parseRoomCode("23456789abcde")));
    EXPECT_NE(matchSeed(code()), matchSeed(*parseRoomCode("23456789ABCDF")));
}

} // namespace
} // namespace zindle::net
