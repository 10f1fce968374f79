// The peer messages' byte layout: a magic byte and a version, the kind, then unsigned varints
// and bytes. Every field is range-checked on reading; trailing bytes are refused too, so one
// layout means one message.
#include "netcode/peer_message.h"

#include <algorithm>

namespace zindle::net {

namespace {

constexpr std::uint8_t kMagic = 0x5A;
// 2: a ping carries a number instead of a clock, and its answer the time it waited.
constexpr std::uint8_t kVersion = 2;
enum class Kind : std::uint8_t { Inputs = 1, Ping = 2, Checksum = 3, State = 4 };
constexpr std::size_t kMaxVarintBytes = 10;

class Writer {
public:
    void byte(std::uint8_t b) { out.push_back(b); }
    void varint(std::uint64_t v) {
        while (v >= 0x80) {
            out.push_back(static_cast<std::uint8_t>(v | 0x80));
            v >>= 7;
        }
        out.push_back(static_cast<std::uint8_t>(v));
    }
    void u64(std::uint64_t v) {
        for (int i = 0; i < 8; ++i)
            out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    std::vector<std::uint8_t> out;
};

struct Malformed {
    std::string why;
};

class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> data) : data_(data) {}
    std::uint8_t byte() {
        if (pos_ >= data_.size())
            throw Malformed{"ends early"};
        return data_[pos_++];
    }
    std::uint64_t varint(std::uint64_t most, const char* what) {
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < kMaxVarintBytes; ++i) {
            const std::uint8_t b = byte();
            if (i == kMaxVarintBytes - 1 && b > 1)
                throw Malformed{std::string(what) + " does not fit 64 bits"};
            v |= static_cast<std::uint64_t>(b & 0x7F) << (7 * i);
            if (!(b & 0x80)) {
                // A padded number would give one message two layouts.
                if (b == 0 && i > 0)
                    throw Malformed{std::string(what) + " is padded"};
                if (v > most)
                    throw Malformed{std::string(what) + " is out of range"};
                return v;
            }
        }
        throw Malformed{std::string(what) + " runs on"};
    }
    std::uint64_t u64() {
        std::uint64_t v = 0;
        for (int i = 0; i < 8; ++i)
            v |= static_cast<std::uint64_t>(byte()) << (8 * i);
        return v;
    }
    std::span<const std::uint8_t> bytes(std::size_t n) {
        if (n > data_.size() - pos_)
            throw Malformed{"ends early"};
        const auto out = data_.subspan(pos_, n);
        pos_ += n;
        return out;
    }
    bool done() const { return pos_ == data_.size(); }

private:
    std::span<const std::uint8_t> data_;
    std::size_t pos_ = 0;
};

void writeInputs(Writer& w, const InputsMessage& m) {
    w.varint(m.ack);
    w.varint(m.firstTick);
    w.varint(m.present);
    w.byte(static_cast<std::uint8_t>(m.seats.size()));
    for (std::uint8_t seat : m.seats)
        w.byte(seat);
    w.byte(static_cast<std::uint8_t>(m.ticks.size()));
    for (const SeatInputs& tick : m.ticks) {
        for (std::uint8_t seat : m.seats) {
            const SeatInput& in = tick[seat];
            w.byte(in.held);
            w.byte(static_cast<std::uint8_t>(in.stick));
            w.byte(in.events);
        }
    }
}

InputsMessage readInputs(Reader& r) {
    InputsMessage m;
    m.ack = r.varint(kMaxTick, "the acknowledged tick");
    m.firstTick = r.varint(kMaxTick, "the first tick");
    m.present = r.varint(kMaxTick, "the present tick");
    const std::size_t seatCount = r.byte();
    if (seatCount > kSeats)
        throw Malformed{"the seat count is out of range"};
    for (std::size_t i = 0; i < seatCount; ++i) {
        const std::uint8_t seat = r.byte();
        if (seat >= kSeats || (!m.seats.empty() && seat <= m.seats.back()))
            throw Malformed{"a seat number is out of range or repeated"};
        m.seats.push_back(seat);
    }
    // No ticks: an acknowledgement alone. No seats: a peer that only watches, which has no
    // inputs to send.
    const std::size_t tickCount = r.byte();
    if (tickCount > kMaxInputTicks)
        throw Malformed{"the tick count is out of range"};
    if (seatCount == 0 && tickCount != 0)
        throw Malformed{"inputs without seats"};
    if (m.firstTick + tickCount > kMaxTick)
        throw Malformed{"the ticks run past the last tick"};
    m.ticks.resize(tickCount);
    for (SeatInputs& tick : m.ticks) {
        for (std::uint8_t seat : m.seats) {
            SeatInput& in = tick[seat];
            in.held = r.byte();
            const std::uint8_t stick = r.byte();
            in.events = r.byte();
            in.stick = static_cast<std::int8_t>(stick);
            if ((in.held & ~SeatInput::kHeldMask) || (in.events & ~SeatInput::kEventMask) ||
                in.stick < -kStickSteps)
                throw Malformed{"an input has unknown bits"};
        }
    }
    return m;
}

} // namespace

std::vector<std::uint8_t> encodePeerMessage(const PeerMessage& message) {
    Writer w;
    w.byte(kMagic);
    w.byte(kVersion);
    std::visit(
        [&w](const auto& m) {
            using T = std::decay_t<decltype(m)>;
            if constexpr (std::is_same_v<T, InputsMessage>) {
                w.byte(static_cast<std::uint8_t>(Kind::Inputs));
                writeInputs(w, m);
            } else if constexpr (std::is_same_v<T, PingMessage>) {
                w.byte(static_cast<std::uint8_t>(Kind::Ping));
                w.byte(m.reply ? 1 : 0);
                w.varint(m.id);
                w.varint(m.heldUs);
            } else if constexpr (std::is_same_v<T, ChecksumMessage>) {
                w.byte(static_cast<std::uint8_t>(Kind::Checksum));
                w.varint(m.tick);
                w.u64(m.checksum);
            } else {
                w.byte(static_cast<std::uint8_t>(Kind::State));
                w.varint(m.tick);
                w.varint(m.state.size());
                w.out.insert(w.out.end(), m.state.begin(), m.state.end());
            }
        },
        message);
    return std::move(w.out);
}

std::optional<PeerMessage> decodePeerMessage(std::span<const std::uint8_t> bytes,
                                             std::string& error) {
    try {
        Reader r(bytes);
        if (r.byte() != kMagic)
            throw Malformed{"not a peer message"};
        if (const std::uint8_t version = r.byte(); version != kVersion)
            throw Malformed{"peer message version " + std::to_string(version) +
                            " is not this game's"};
        PeerMessage out;
        switch (static_cast<Kind>(r.byte())) {
        case Kind::Inputs:
            out = readInputs(r);
            break;
        case Kind::Ping: {
            PingMessage m;
            const std::uint8_t reply = r.byte();
            if (reply > 1)
                throw Malformed{"a ping's reply flag is not 0 or 1"};
            m.reply = reply == 1;
            m.id = static_cast<std::uint32_t>(r.varint(UINT32_MAX, "the ping's number"));
            m.heldUs =
                static_cast<std::uint32_t>(r.varint(kMaxPingHeldUs, "the ping's waiting time"));
            out = m;
            break;
        }
        case Kind::Checksum: {
            ChecksumMessage m;
            m.tick = r.varint(kMaxTick, "the checksum's tick");
            m.checksum = r.u64();
            out = m;
            break;
        }
        case Kind::State: {
            StateMessage m;
            m.tick = r.varint(kMaxTick, "the state's tick");
            const std::size_t size = r.varint(kMaxStateBytes, "the state's length");
            const auto body = r.bytes(size);
            m.state.assign(body.begin(), body.end());
            out = std::move(m);
            break;
        }
        default:
            throw Malformed{"unknown peer message kind"};
        }
        if (!r.done())
            throw Malformed{"bytes after the end of the message"};
        return out;
    } catch (const Malformed& m) {
        error = "peer message: " + m.why;
        return std::nullopt;
    }
}

} // namespace zindle::net
