// Writing and reading relay messages. The reader checks every length against what remains and
// every value against its range before it builds anything, so hostile bytes cost no more than
// their own size.
#include "netcode/relay_protocol.h"

#include <algorithm>
#include <type_traits>

namespace zindle::relay {
namespace {

constexpr std::size_t kHeaderBytes = 2;

class Writer {
public:
    explicit Writer(MessageType type) {
        bytes_ = {kProtocolVersion, static_cast<std::uint8_t>(type)};
    }
    void u8(std::uint8_t value) { bytes_.push_back(value); }
    void u16(std::uint16_t value) {
        u8(static_cast<std::uint8_t>(value));
        u8(static_cast<std::uint8_t>(value >> 8));
    }
    void u32(std::uint32_t value) {
        u16(static_cast<std::uint16_t>(value));
        u16(static_cast<std::uint16_t>(value >> 16));
    }
    void code(const RoomCodeText& text) { bytes_.insert(bytes_.end(), text.begin(), text.end()); }
    void payload(const Bytes& payload) {
        // Longer payloads are cut rather than written as a message no reader accepts.
        const std::size_t size = std::min(payload.size(), kMaxPayloadBytes);
        u16(static_cast<std::uint16_t>(size));
        bytes_.insert(bytes_.end(), payload.begin(), payload.begin() + static_cast<long>(size));
    }
    Bytes take() { return std::move(bytes_); }

private:
    Bytes bytes_;
};

class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    bool u8(std::uint8_t& value) {
        if (at_ + 1 > bytes_.size())
            return false;
        value = bytes_[at_++];
        return true;
    }
    bool u16(std::uint16_t& value) {
        std::uint8_t low = 0, high = 0;
        if (!u8(low) || !u8(high))
            return false;
        value = static_cast<std::uint16_t>(low | (high << 8));
        return true;
    }
    bool u32(std::uint32_t& value) {
        std::uint16_t low = 0, high = 0;
        if (!u16(low) || !u16(high))
            return false;
        value = low | (static_cast<std::uint32_t>(high) << 16);
        return true;
    }
    bool code(RoomCodeText& text) {
        if (at_ + text.size() > bytes_.size())
            return false;
        for (char& c : text)
            c = static_cast<char>(bytes_[at_++]);
        return true;
    }
    bool payload(Bytes& payload) {
        std::uint16_t size = 0;
        if (!u16(size) || size > kMaxPayloadBytes || at_ + size > bytes_.size())
            return false;
        payload.assign(bytes_.begin() + static_cast<long>(at_),
                       bytes_.begin() + static_cast<long>(at_ + size));
        at_ += size;
        return true;
    }
    bool atEnd() const { return at_ == bytes_.size(); }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = kHeaderBytes;
};

constexpr std::uint8_t kAllSeats = (1u << kSeatCount) - 1;

bool validSeat(std::uint8_t seat) {
    return seat < kSeatCount;
}

} // namespace

const char* describe(DecodeError error) {
    switch (error) {
    case DecodeError::Empty:
        return "empty message";
    case DecodeError::TooLarge:
        return "message too large";
    case DecodeError::WrongVersion:
        return "wrong protocol version";
    case DecodeError::UnknownType:
        return "unknown message type";
    case DecodeError::Truncated:
        return "truncated message";
    case DecodeError::TrailingBytes:
        return "bytes after the message";
    case DecodeError::BadValue:
        return "value out of range";
    }
    return "bad message";
}

Bytes encode(const Message& message) {
    return std::visit(
        [](const auto& m) {
            using T = std::decay_t<decltype(m)>;
            if constexpr (std::is_same_v<T, OpenRoom>) {
                return Writer(MessageType::OpenRoom).take();
            } else if constexpr (std::is_same_v<T, JoinRoom>) {
                Writer w(MessageType::JoinRoom);
                w.code(m.code);
                return w.take();
            } else if constexpr (std::is_same_v<T, ClaimSeat> || std::is_same_v<T, ReleaseSeat>) {
                Writer w(std::is_same_v<T, ClaimSeat> ? MessageType::ClaimSeat
                                                      : MessageType::ReleaseSeat);
                w.u8(m.seat);
                return w.take();
            } else if constexpr (std::is_same_v<T, Leave>) {
                return Writer(MessageType::Leave).take();
            } else if constexpr (std::is_same_v<T, Data>) {
                Writer w(MessageType::Data);
                w.u8(m.seats);
                w.payload(m.payload);
                return w.take();
            } else if constexpr (std::is_same_v<T, Ping> || std::is_same_v<T, Pong>) {
                Writer w(std::is_same_v<T, Ping> ? MessageType::Ping : MessageType::Pong);
                w.u32(m.nonce);
                return w.take();
            } else if constexpr (std::is_same_v<T, Welcome>) {
                Writer w(MessageType::Welcome);
                w.code(m.code);
                w.u8(m.peer);
                w.u8(m.host ? 1 : 0);
                return w.take();
            } else if constexpr (std::is_same_v<T, PeerJoined> || std::is_same_v<T, PeerLeft>) {
                Writer w(std::is_same_v<T, PeerJoined> ? MessageType::PeerJoined
                                                       : MessageType::PeerLeft);
                w.u8(m.peer);
                return w.take();
            } else if constexpr (std::is_same_v<T, SeatMap>) {
                Writer w(MessageType::SeatMap);
                for (std::uint8_t holder : m.holders)
                    w.u8(holder);
                return w.take();
            } else if constexpr (std::is_same_v<T, Forward>) {
                Writer w(MessageType::Forward);
                w.u8(m.from);
                w.u8(m.seats);
                w.payload(m.payload);
                return w.take();
            } else if constexpr (std::is_same_v<T, HostGone>) {
                return Writer(MessageType::HostGone).take();
            } else if constexpr (std::is_same_v<T, RoomClosed>) {
                Writer w(MessageType::RoomClosed);
                w.u8(static_cast<std::uint8_t>(m.reason));
                return w.take();
            } else {
                static_assert(std::is_same_v<T, Error>);
                Writer w(MessageType::Error);
                w.u8(static_cast<std::uint8_t>(m.code));
                return w.take();
            }
        },
        message);
}

namespace {

// Reads the body of one type; false when the bytes run out or a value is out of range.
std::optional<Message> readBody(MessageType type, Reader& r, DecodeError& error) {
    error = DecodeError::Truncated;
    switch (type) {
    case MessageType::OpenRoom:
        return OpenRoom{};
    case MessageType::Leave:
        return Leave{};
    case MessageType::HostGone:
        return HostGone{};
    case MessageType::JoinRoom: {
        JoinRoom m;
        if (!r.code(m.code))
            return std::nullopt;
        return m;
    }
    case MessageType::ClaimSeat:
    case MessageType::ReleaseSeat: {
        std::uint8_t seat = 0;
        if (!r.u8(seat))
            return std::nullopt;
        if (!validSeat(seat)) {
            error = DecodeError::BadValue;
            return std::nullopt;
        }
        if (type == MessageType::ClaimSeat)
            return ClaimSeat{seat};
        return ReleaseSeat{seat};
    }
    case MessageType::Data: {
        Data m;
        if (!r.u8(m.seats) || !r.payload(m.payload))
            return std::nullopt;
        if (m.seats & ~kAllSeats) {
            error = DecodeError::BadValue;
            return std::nullopt;
        }
        return m;
    }
    case MessageType::Ping:
    case MessageType::Pong: {
        std::uint32_t nonce = 0;
        if (!r.u32(nonce))
            return std::nullopt;
        if (type == MessageType::Ping)
            return Ping{nonce};
        return Pong{nonce};
    }
    case MessageType::Welcome: {
        Welcome m;
        std::uint8_t host = 0;
        if (!r.code(m.code) || !r.u8(m.peer) || !r.u8(host))
            return std::nullopt;
        if (host > 1) {
            error = DecodeError::BadValue;
            return std::nullopt;
        }
        m.host = host == 1;
        return m;
    }
    case MessageType::PeerJoined:
    case MessageType::PeerLeft: {
        std::uint8_t peer = 0;
        if (!r.u8(peer))
            return std::nullopt;
        if (type == MessageType::PeerJoined)
            return PeerJoined{peer};
        return PeerLeft{peer};
    }
    case MessageType::SeatMap: {
        SeatMap m;
        for (std::uint8_t& holder : m.holders)
            if (!r.u8(holder))
                return std::nullopt;
        return m;
    }
    case MessageType::Forward: {
        Forward m;
        if (!r.u8(m.from) || !r.u8(m.seats) || !r.payload(m.payload))
            return std::nullopt;
        if (m.seats & ~kAllSeats) {
            error = DecodeError::BadValue;
            return std::nullopt;
        }
        return m;
    }
    case MessageType::RoomClosed: {
        std::uint8_t reason = 0;
        if (!r.u8(reason))
            return std::nullopt;
        if (reason < 1 || reason > 3) {
            error = DecodeError::BadValue;
            return std::nullopt;
        }
        return RoomClosed{static_cast<CloseReason>(reason)};
    }
    case MessageType::Error: {
        std::uint8_t code = 0;
        if (!r.u8(code))
            return std::nullopt;
        if (code < 1 || code > 9) {
            error = DecodeError::BadValue;
            return std::nullopt;
        }
        return Error{static_cast<ErrorCode>(code)};
    }
    case MessageType::Batch:
        break; // read only by decodeAll
    }
    error = DecodeError::UnknownType;
    return std::nullopt;
}

} // namespace

Decoded decode(std::span<const std::uint8_t> bytes) {
    Decoded out;
    if (bytes.size() < kHeaderBytes) {
        out.error = bytes.empty() ? DecodeError::Empty : DecodeError::Truncated;
        return out;
    }
    if (bytes.size() > kMaxMessageBytes) {
        out.error = DecodeError::TooLarge;
        return out;
    }
    if (bytes[0] != kProtocolVersion) {
        out.error = DecodeError::WrongVersion;
        return out;
    }
    Reader reader(bytes);
    DecodeError error = DecodeError::UnknownType;
    std::optional<Message> message = readBody(static_cast<MessageType>(bytes[1]), reader, error);
    if (!message) {
        out.error = error;
        return out;
    }
    if (!reader.atEnd()) {
        out.error = DecodeError::TrailingBytes;
        return out;
    }
    out.message = std::move(message);
    return out;
}

std::size_t batchedSize(std::size_t messageBytes) {
    return 2 + messageBytes;
}

Bytes encodeBatch(std::span<const Bytes* const> messages) {
    Bytes out = {kProtocolVersion, static_cast<std::uint8_t>(MessageType::Batch),
                 static_cast<std::uint8_t>(messages.size())};
    for (const Bytes* message : messages) {
        out.push_back(static_cast<std::uint8_t>(message->size()));
        out.push_back(static_cast<std::uint8_t>(message->size() >> 8));
        out.insert(out.end(), message->begin(), message->end());
    }
    return out;
}

std::optional<std::vector<Message>> decodeAll(std::span<const std::uint8_t> bytes,
                                              DecodeError& error) {
    std::vector<Message> messages;
    const bool batch = bytes.size() >= 2 && bytes[0] == kProtocolVersion &&
                       bytes[1] == static_cast<std::uint8_t>(MessageType::Batch);
    if (!batch) {
        Decoded one = decode(bytes);
        if (!one.message) {
            error = one.error;
            return std::nullopt;
        }
        messages.push_back(std::move(*one.message));
        return messages;
    }
    if (bytes.size() > kMaxMessageBytes) {
        error = DecodeError::TooLarge;
        return std::nullopt;
    }
    if (bytes.size() < kBatchHeaderBytes) {
        error = DecodeError::Truncated;
        return std::nullopt;
    }
    const std::size_t count = bytes[2];
    std::size_t at = kBatchHeaderBytes;
    for (std::size_t i = 0; i < count; ++i) {
        if (at + 2 > bytes.size()) {
            error = DecodeError::Truncated;
            return std::nullopt;
        }
        const std::size_t size = bytes[at] | (static_cast<std::size_t>(bytes[at + 1]) << 8);
        at += 2;
        if (at + size > bytes.size()) {
            error = DecodeError::Truncated;
            return std::nullopt;
        }
        // decode() refuses a batch inside, so nesting cannot recurse.
        Decoded one = decode(bytes.subspan(at, size));
        if (!one.message) {
            error = one.error;
            return std::nullopt;
        }
        messages.push_back(std::move(*one.message));
        at += size;
    }
    if (count == 0 || at != bytes.size()) {
        error = count == 0 ? DecodeError::BadValue : DecodeError::TrailingBytes;
        return std::nullopt;
    }
    return messages;
}

} // namespace zindle::relay
