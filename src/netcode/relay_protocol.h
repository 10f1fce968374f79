#pragma once
// The messages between a peer and the relay: one WebSocket binary message each, a version byte,
// a type byte and a fixed little-endian body. Peers' own messages ride inside Data and Forward
// as opaque bytes. Every length is bounded, and the reader treats what arrives as untrusted.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace zindle::relay {

inline constexpr std::uint8_t kProtocolVersion = 1;
// A whole message, header included. Large enough for a chunk of a match state being handed to a
// peer that joins late; small enough that a few per connection cost nothing.
inline constexpr std::size_t kMaxMessageBytes = 64 * 1024;
inline constexpr int kSeatCount = 4;
inline constexpr std::uint8_t kNoPeer = 0xFF;
inline constexpr std::size_t kRoomCodeLength = 13;

using Bytes = std::vector<std::uint8_t>;
using RoomCodeText = std::array<char, kRoomCodeLength>;

enum class MessageType : std::uint8_t {
    // peer to relay
    OpenRoom = 1,
    JoinRoom = 2,
    ClaimSeat = 3,
    ReleaseSeat = 4,
    Leave = 5,
    Data = 6,
    Ping = 7,
    // relay to peer
    Welcome = 64,
    PeerJoined = 65,
    PeerLeft = 66,
    SeatMap = 67,
    Forward = 68,
    HostGone = 69,
    RoomClosed = 70,
    Error = 71,
    Pong = 72,
    // Several relay messages in one, written when a peer's connection is busy (see decodeAll).
    Batch = 73,
};

enum class ErrorCode : std::uint8_t {
    Malformed = 1,
    RoomNotFound = 2,
    RoomFull = 3,
    SeatTaken = 4,
    SeatNotHeld = 5,
    NotInRoom = 6,
    AlreadyInRoom = 7,
    TooManyRooms = 8,
    RateLimited = 9,
};

enum class CloseReason : std::uint8_t { HostLeft = 1, Expired = 2, RelayStopping = 3 };

struct OpenRoom {
    bool operator==(const OpenRoom&) const = default;
};
struct JoinRoom {
    RoomCodeText code{};
    bool operator==(const JoinRoom&) const = default;
};
struct ClaimSeat {
    std::uint8_t seat = 0;
    bool operator==(const ClaimSeat&) const = default;
};
struct ReleaseSeat {
    std::uint8_t seat = 0;
    bool operator==(const ReleaseSeat&) const = default;
};
struct Leave {
    bool operator==(const Leave&) const = default;
};
// seats: a bit per seat the sender speaks for.
struct Data {
    std::uint8_t seats = 0;
    Bytes payload;
    bool operator==(const Data&) const = default;
};
struct Ping {
    std::uint32_t nonce = 0;
    bool operator==(const Ping&) const = default;
};
struct Welcome {
    RoomCodeText code{};
    std::uint8_t peer = 0;
    bool host = false;
    bool operator==(const Welcome&) const = default;
};
struct PeerJoined {
    std::uint8_t peer = 0;
    bool operator==(const PeerJoined&) const = default;
};
struct PeerLeft {
    std::uint8_t peer = 0;
    bool operator==(const PeerLeft&) const = default;
};
// Which peer holds each seat, kNoPeer for a free one.
struct SeatMap {
    std::array<std::uint8_t, kSeatCount> holders{kNoPeer, kNoPeer, kNoPeer, kNoPeer};
    bool operator==(const SeatMap&) const = default;
};
struct Forward {
    std::uint8_t from = 0;
    std::uint8_t seats = 0;
    Bytes payload;
    bool operator==(const Forward&) const = default;
};
struct HostGone {
    bool operator==(const HostGone&) const = default;
};
struct RoomClosed {
    CloseReason reason = CloseReason::HostLeft;
    bool operator==(const RoomClosed&) const = default;
};
struct Error {
    ErrorCode code = ErrorCode::Malformed;
    bool operator==(const Error&) const = default;
};
struct Pong {
    std::uint32_t nonce = 0;
    bool operator==(const Pong&) const = default;
};

using Message =
    std::variant<OpenRoom, JoinRoom, ClaimSeat, ReleaseSeat, Leave, Data, Ping, Welcome, PeerJoined,
                 PeerLeft, SeatMap, Forward, HostGone, RoomClosed, Error, Pong>;

// What was wrong with bytes that did not decode; one word each for a log line.
enum class DecodeError {
    Empty,
    TooLarge,
    WrongVersion,
    UnknownType,
    Truncated,
    TrailingBytes,
    BadValue
};
const char* describe(DecodeError error);

struct Decoded {
    std::optional<Message> message;
    DecodeError error = DecodeError::Empty;
    bool operator==(const Decoded&) const = default;
};

Bytes encode(const Message& message);
// One message; a batch is refused here as an unknown type, so a peer cannot send one.
Decoded decode(std::span<const std::uint8_t> bytes);

// A batch: a count byte, then each message as a 16-bit length and its bytes. The messages must
// fit kMaxMessageBytes together and number at most kMaxBatchCount.
inline constexpr std::size_t kMaxBatchCount = 255;
std::size_t batchedSize(std::size_t messageBytes); // what one message adds to a batch
Bytes encodeBatch(std::span<const Bytes* const> messages);
// What a peer reads from the relay: one message or a batch of them, in order. Nothing, with the
// error, when any of them does not decode or a batch holds a batch.
std::optional<std::vector<Message>> decodeAll(std::span<const std::uint8_t> bytes,
                                              DecodeError& error);

// The largest payload that still fits a message once its header is added.
inline constexpr std::size_t kMaxPayloadBytes = kMaxMessageBytes - 8;
inline constexpr std::size_t kBatchHeaderBytes = 3;

} // namespace zindle::relay
