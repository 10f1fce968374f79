// Envelopes and round starts as bytes: fixed little-endian headers, every length checked
// against what arrived before anything is allocated.
#include "netcode/online_envelope.h"

#include <algorithm>

namespace zindle::net {

namespace {

constexpr std::size_t kSessionHeader = 6;     // kind, to, round
constexpr std::size_t kPieceHeader = 14;      // kind, to, round, total, offset
constexpr std::size_t kPieceBody = 60 * 1024; // with the headers, well inside a relay message

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

std::uint32_t get32(std::span<const std::uint8_t> in, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<std::uint32_t>(in[at + static_cast<std::size_t>(i)]) << (8 * i);
    return v;
}

} // namespace

std::vector<std::uint8_t> encodeEnvelope(const Envelope& envelope) {
    std::vector<std::uint8_t> out;
    out.reserve(kPieceHeader + envelope.body.size());
    out.push_back(static_cast<std::uint8_t>(envelope.kind));
    out.push_back(envelope.to);
    put32(out, envelope.round);
    if (isPiece(envelope.kind)) {
        put32(out, envelope.total);
        put32(out, envelope.offset);
    }
    out.insert(out.end(), envelope.body.begin(), envelope.body.end());
    return out;
}

std::optional<Envelope> decodeEnvelope(std::span<const std::uint8_t> bytes, std::string& error) {
    if (bytes.size() < kSessionHeader) {
        error = "a message too short for its header";
        return std::nullopt;
    }
    Envelope e;
    e.kind = static_cast<Envelope::Kind>(bytes[0]);
    e.to = bytes[1];
    e.round = get32(bytes, 2);
    std::size_t header = kSessionHeader;
    if (isPiece(e.kind)) {
        if (bytes.size() < kPieceHeader) {
            error = "a piece too short for its header";
            return std::nullopt;
        }
        e.total = get32(bytes, 6);
        e.offset = get32(bytes, 10);
        header = kPieceHeader;
        if (e.total > kMaxRoundStartBytes || e.offset > e.total ||
            bytes.size() - header > e.total - e.offset) {
            error = "a piece that does not fit its length";
            return std::nullopt;
        }
    } else if (e.kind != Envelope::Kind::Session) {
        error = "a message of unknown kind " + std::to_string(bytes[0]);
        return std::nullopt;
    }
    e.body.assign(bytes.begin() + static_cast<std::ptrdiff_t>(header), bytes.end());
    return e;
}

std::vector<std::uint8_t> encodeRoundStart(const RoundStart& start) {
    std::vector<std::uint8_t> out(start.holders.begin(), start.holders.end());
    out.push_back(static_cast<std::uint8_t>(start.peers.size()));
    out.insert(out.end(), start.peers.begin(), start.peers.end());
    out.insert(out.end(), start.state.begin(), start.state.end());
    return out;
}

std::optional<RoundStart> decodeRoundStart(std::span<const std::uint8_t> bytes,
                                           std::string& error) {
    const std::size_t seats = relay::kSeatCount;
    if (bytes.size() < seats + 1 || bytes.size() < seats + 1 + bytes[seats]) {
        error = "a round's start shorter than its seats and peers";
        return std::nullopt;
    }
    RoundStart start;
    std::copy_n(bytes.begin(), seats, start.holders.begin());
    const std::size_t peers = bytes[seats];
    start.peers.assign(bytes.begin() + static_cast<std::ptrdiff_t>(seats + 1),
                       bytes.begin() + static_cast<std::ptrdiff_t>(seats + 1 + peers));
    start.state.assign(bytes.begin() + static_cast<std::ptrdiff_t>(seats + 1 + peers), bytes.end());
    return start;
}

std::vector<Envelope> splitIntoPieces(Envelope::Kind kind, std::uint32_t round, std::uint8_t to,
                                      const std::vector<std::uint8_t>& bytes) {
    std::vector<Envelope> pieces;
    std::size_t offset = 0;
    do {
        const std::size_t size = std::min(kPieceBody, bytes.size() - offset);
        Envelope e;
        e.kind = kind;
        e.to = to;
        e.round = round;
        e.total = static_cast<std::uint32_t>(bytes.size());
        e.offset = static_cast<std::uint32_t>(offset);
        e.body.assign(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                      bytes.begin() + static_cast<std::ptrdiff_t>(offset + size));
        pieces.push_back(std::move(e));
        offset += size;
    } while (offset < bytes.size());
    return pieces;
}

std::optional<std::vector<std::uint8_t>> RoundStartAssembler::add(const Envelope& piece,
                                                                  std::string& error) {
    if (piece.offset == 0) {
        round_ = piece.round;
        total_ = piece.total;
        bytes_.clear();
    } else if (piece.round != round_ || piece.total != total_ || piece.offset != bytes_.size()) {
        error = "a piece out of its place";
        bytes_.clear();
        total_ = 0;
        return std::nullopt;
    }
    bytes_.insert(bytes_.end(), piece.body.begin(), piece.body.end());
    if (bytes_.size() < total_)
        return std::nullopt;
    total_ = 0;
    return std::move(bytes_);
}

} // namespace zindle::net
