#pragma once
// What one peer of an online match puts inside a relay Data message: the session's bytes for
// one peer (the relay hands every message to the whole room, so each names its reader), and the
// start of a round of play with its seats and the whole match state, cut into pieces that fit a
// relay message. Every message carries the round it belongs to; a peer drops other rounds'.
#include "match/match_state_bounds.h"
#include "net/relay_protocol.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zindle::net {

inline constexpr std::uint8_t kEveryPeer = 0xFF;
// A round's start carries a match state: the largest one a peer will put together.
inline constexpr std::size_t kMaxRoundStartBytes = kMaxMatchStateBytes + 64;

struct Envelope {
    // A session message too large for one relay message (a match state) goes as pieces.
    enum class Kind : std::uint8_t { Session = 1, RoundStartPiece = 2, SessionPiece = 3 };
    Kind kind = Kind::Session;
    std::uint8_t to = kEveryPeer;
    std::uint32_t round = 0;
    // Pieces: the whole's length and where this piece goes in it.
    std::uint32_t total = 0;
    std::uint32_t offset = 0;
    std::vector<std::uint8_t> body;
    bool operator==(const Envelope&) const = default;
};

std::vector<std::uint8_t> encodeEnvelope(const Envelope& envelope);
std::optional<Envelope> decodeEnvelope(std::span<const std::uint8_t> bytes, std::string& error);

// A round's start: who holds which seat (relay peer numbers, kNoPeer for none), who else is in
// the room, and the state every peer continues from.
struct RoundStart {
    std::array<std::uint8_t, relay::kSeatCount> holders{relay::kNoPeer, relay::kNoPeer,
                                                        relay::kNoPeer, relay::kNoPeer};
    std::vector<std::uint8_t> peers;
    std::vector<std::uint8_t> state;
    bool operator==(const RoundStart&) const = default;
};

std::vector<std::uint8_t> encodeRoundStart(const RoundStart& start);
std::optional<RoundStart> decodeRoundStart(std::span<const std::uint8_t> bytes, std::string& error);

// Bytes cut into pieces of kind, each within a relay message.
std::vector<Envelope> splitIntoPieces(Envelope::Kind kind, std::uint32_t round, std::uint8_t to,
                                      const std::vector<std::uint8_t>& bytes);
// The start cut into envelopes for everybody.
inline std::vector<Envelope> splitRoundStart(std::uint32_t round,
                                             const std::vector<std::uint8_t>& bytes) {
    return splitIntoPieces(Envelope::Kind::RoundStartPiece, round, kEveryPeer, bytes);
}
inline constexpr bool isPiece(Envelope::Kind kind) {
    return kind == Envelope::Kind::RoundStartPiece || kind == Envelope::Kind::SessionPiece;
}

// Puts one sender's pieces of one kind back together. Pieces come in order over the relay; one that
// does not follow on starts nothing and is dropped.
class RoundStartAssembler {
public:
    // The whole start once its last piece is in; error says why a piece was refused.
    std::optional<std::vector<std::uint8_t>> add(const Envelope& piece, std::string& error);

private:
    std::uint32_t round_ = 0;
    std::uint32_t total_ = 0;
    std::vector<std::uint8_t> bytes_;
};

} // namespace zindle::net
