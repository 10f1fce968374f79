// Relay messages: every kind survives a round trip, and bytes that are not a message are refused
// with the reason, never read past their end.
#include "netcode/relay_protocol.h"
#include "netcode/relay_room_code.h"

#include <gtest/gtest.h>

#include <set>

namespace zindle::relay {
namespace {

RoomCodeText code(std::string_view text) {
    return *parseRoomCode(text);
}

TEST(RelayProtocolTest, EveryMessageSurvivesARoundTrip) {
    const std::vector<Message> messages = {
        OpenRoom{},
        JoinRoom{code("23456789ABCDE")},
        ClaimSeat{3},
        ReleaseSeat{0},
        Leave{},
        Data{0b1010, {1, 2, 3}},
        Data{0, {}},
        Ping{0xDEADBEEF},
        Welcome{code("ZZZZZZZZZZZZZ"), 7, true},
        PeerJoined{2},
        PeerLeft{5},
        SeatMap{{0, kNoPeer, 2, 0}},
        Forward{1, 0b0001, Bytes(kMaxPayloadBytes, 0xAB)},
        HostGone{},
        RoomClosed{CloseReason::Expired},
        Error{ErrorCode::RateLimited},
        Pong{42},
    };
    for (const Message& message : messages) {
        const Decoded decoded = decode(encode(message));
        ASSERT_TRUE(decoded.message) << "type index " << message.index();
        EXPECT_EQ(*decoded.message, message) << "type index " << message.index();
    }
}

TEST(RelayProtocolTest, RefusesBytesThatAreNotAMessage) {
    const Bytes claim = encode(ClaimSeat{1});
    Bytes data = encode(Data{1, {9, 9, 9}});
    const struct {
        const char* what;
        Bytes bytes;
        DecodeError error;
    } cases[] = {
        {"empty", {}, DecodeError::Empty},
        {"header cut", {kProtocolVersion}, DecodeError::Truncated},
        {"other version", {2, 1}, DecodeError::WrongVersion},
        {"unknown type", {kProtocolVersion, 200}, DecodeError::UnknownType},
        {"type zero", {kProtocolVersion, 0}, DecodeError::UnknownType},
        {"body cut", Bytes(claim.begin(), claim.end() - 1), DecodeError::Truncated},
        {"seat out of range", {kProtocolVersion, 3, kSeatCount}, DecodeError::BadValue},
        {"trailing byte",
         [&] {
             Bytes b = claim;
             b.push_back(0);
             return b;
         }(),
         DecodeError::TrailingBytes},
        {"payload longer than the message", Bytes(data.begin(), data.end() - 1),
         DecodeError::Truncated},
        {"payload length beyond the cap",
         {kProtocolVersion, 6, 1, 0xFF, 0xFF},
         DecodeError::Truncated},
        {"data for a fifth seat", {kProtocolVersion, 6, 0x10, 0, 0}, DecodeError::BadValue},
        {"host flag not 0 or 1",
         [] {
             Bytes b = encode(Welcome{});
             b.back() = 2;
             return b;
         }(),
         DecodeError::BadValue},
        {"unknown close reason", {kProtocolVersion, 70, 9}, DecodeError::BadValue},
        {"unknown error code", {kProtocolVersion, 71, 0}, DecodeError::BadValue},
        {"over the size cap", Bytes(kMaxMessageBytes + 1, kProtocolVersion), DecodeError::TooLarge},
    };
    for (const auto& c : cases) {
        const Decoded decoded = decode(c.bytes);
        EXPECT_FALSE(decoded.message) << c.what;
        EXPECT_EQ(decoded.error, c.error) << c.what << ": " << describe(decoded.error);
    }
}

TEST(RelayProtocolTest, OversizedPayloadIsCutToFitRatherThanWrittenUnreadable) {
    const Bytes bytes = encode(Data{1, Bytes(kMaxMessageBytes * 2, 7)});
    EXPECT_LE(bytes.size(), kMaxMessageBytes);
    const Decoded decoded = decode(bytes);
    ASSERT_TRUE(decoded.message);
    EXPECT_EQ(std::get<Data>(*decoded.message).payload.size(), kMaxPayloadBytes);
}

TEST(RelayProtocolTest, BatchesReadBackInOrderAndHostileOnesAreRefused) {
    const Bytes pong = encode(Pong{5});
    const Bytes forward = encode(Forward{2, 1, {9}});
    const std::vector<const Bytes*> two = {&pong, &forward};
    const Bytes batch = encodeBatch(two);
    DecodeError error = DecodeError::Empty;
    const auto messages = decodeAll(batch, error);
    ASSERT_TRUE(messages);
    EXPECT_EQ(*messages, (std::vector<Message>{Pong{5}, Forward{2, 1, {9}}}));
    EXPECT_EQ(decodeAll(pong, error), std::vector<Message>{Pong{5}}) << "a lone message";
    EXPECT_EQ(decode(batch).error, DecodeError::UnknownType) << "a peer may not send a batch";

    const std::vector<const Bytes*> nested = {&batch};
    const struct {
        const char* what;
        Bytes bytes;
        DecodeError error;
    } cases[] = {
        {"empty batch", {kProtocolVersion, 73, 0}, DecodeError::BadValue},
        {"count beyond the entries",
         {kProtocolVersion, 73, 3, 2, 0, kProtocolVersion, 5},
         DecodeError::Truncated},
        {"entry longer than the rest", Bytes(batch.begin(), batch.end() - 1),
         DecodeError::Truncated},
        {"bytes after the entries",
         [&] {
             Bytes b = batch;
             b.push_back(1);
             return b;
         }(),
         DecodeError::TrailingBytes},
        {"a batch in a batch", encodeBatch(nested), DecodeError::UnknownType},
        {"a bad entry", {kProtocolVersion, 73, 1, 2, 0, 9, 9}, DecodeError::WrongVersion},
        {"over the size cap",
         [] {
             Bytes b(kMaxMessageBytes + 1, 0);
             b[0] = kProtocolVersion;
             b[1] = 73;
             return b;
         }(),
         DecodeError::TooLarge},
    };
    for (const auto& c : cases) {
        error = DecodeError::Empty;
        EXPECT_FALSE(decodeAll(c.bytes, error)) << c.what;
        EXPECT_EQ(error, c.error) << c.what;
    }
}

TEST(RoomCodeTest, CodesCarryTheShardAndSixtyRandomBitsInTheAlphabet) {
    EXPECT_GE(kRandomBitsPerCode, 60);
    const RandomSource random = systemRandomSource();
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) {
        const RoomCodeText made = makeRoomCode(5, random);
        EXPECT_EQ(made[0], kCodeAlphabet[5]);
        EXPECT_TRUE(parseRoomCode(toString(made)));
        seen.insert(toString(made));
    }
    EXPECT_EQ(seen.size(), 200u);
}

TEST(RoomCodeTest, EveryBitOfTheRandomSourceReachesTheCode) {
    // All zeros and all ones must give different codes in every random position.
    const RoomCodeText zeros = makeRoomCode(
        0, [](std::span<std::uint8_t> out) { std::fill(out.begin(), out.end(), 0x00); });
    const RoomCodeText ones = makeRoomCode(
        0, [](std::span<std::uint8_t> out) { std::fill(out.begin(), out.end(), 0xFF); });
    for (std::size_t i = 1; i < kRoomCodeLength; ++i)
        EXPECT_NE(zeros[i], ones[i]) << i;
}

TEST(RoomCodeTest, ParsingAcceptsLowerCaseAndRefusesLookAlikesAndLengths) {
    EXPECT_EQ(toString(*parseRoomCode("abcdefghjkmnp")), "ABCDEFGHJKMNP");
    for (std::string_view bad :
         {"", "ABCDEFGHJKMN", "ABCDEFGHJKMNPQ", "0BCDEFGHJKMNP", "OBCDEFGHJKMNP", "1BCDEFGHJKMNP",
          "IBCDEFGHJKMNP", "ABCDEF/HJKMNP"})
        EXPECT_FALSE(parseRoomCode(bad)) << bad;
}

} // namespace
} // namespace zindle::relay
