#pragma once
// What peers of an online match say to each other, as bytes: inputs (each message repeating
// every input the receiver has not acknowledged, so a lost message costs nothing), the
// acknowledgement, pings for the round trip, checksums of confirmed ticks and a whole match
// state. The reader takes bytes from anybody: every count is checked before anything grows.
#include "match/match_state_bounds.h"
#include "net/rollback_input.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace zindle::net {

// Ticks a message may carry inputs for: more than the deepest rollback plus the longest delay,
// so that a peer catching up after a burst of loss gets everything in one message.
inline constexpr std::size_t kMaxInputTicks = 64;
// The largest match state a peer accepts: the largest a game can be in.
inline constexpr std::size_t kMaxStateBytes = kMaxMatchStateBytes;
// Ticks beyond this are refused: at 60 a second it is over eighteen thousand years of play.
inline constexpr std::uint64_t kMaxTick = std::uint64_t{1} << 45;

struct InputsMessage {
    std::uint64_t ack = 0;       // the first tick of the receiver's inputs that the sender lacks
    std::uint64_t firstTick = 0; // the tick of ticks[0]
    std::uint64_t present = 0;   // the tick the sender is simulating (pacing)
    std::vector<std::uint8_t> seats; // the seats whose inputs follow, each once, ascending
    std::vector<SeatInputs> ticks;   // per tick, the inputs of those seats (others zero)
    bool operator==(const InputsMessage&) const = default;
};

// The longest wait an answer may report: far beyond the 3 s of silence after which a peer is
// gone, so an honest answer always fits and a larger one is refused as nonsense.
inline constexpr std::uint32_t kMaxPingHeldUs = 10'000'000;

struct PingMessage {
    std::uint32_t id = 0; // the asker's number for the ping, echoed back
    bool reply = false;
    // In an answer: how long the ping waited at the answerer, from its arrival until it was
    // read and answered. The asker takes it off, so the round trip is the network's alone.
    std::uint32_t heldUs = 0;
    bool operator==(const PingMessage&) const = default;
};

struct ChecksumMessage {
    std::uint64_t tick = 0; // the state at the start of this tick, every earlier input confirmed
    std::uint64_t checksum = 0;
    bool operator==(const ChecksumMessage&) const = default;
};

struct StateMessage {
    std::uint64_t tick = 0; // the state at the start of this tick
    std::vector<std::uint8_t> state;
    bool operator==(const StateMessage&) const = default;
};

using PeerMessage = std::variant<InputsMessage, PingMessage, ChecksumMessage, StateMessage>;

std::vector<std::uint8_t> encodePeerMessage(const PeerMessage& message);
// The message, or nothing with a one-line reason in error.
std::optional<PeerMessage> decodePeerMessage(std::span<const std::uint8_t> bytes,
                                             std::string& error);

} // namespace zindle::net
