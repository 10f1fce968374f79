#pragma once
// A match state as bytes, the same on every machine: numbers little-endian, doubles by their
// bits, a magic and a version in front. The reader takes the bytes as untrusted: every count,
// length, kind, index and number is checked against what a game can hold, and anything else is
// refused with one MatchStateError naming the problem and where it was found.
#include "match/match_state.h"

#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

namespace zindle {

class MatchStateError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr std::uint32_t kMatchStateVersion = 1;

// Replaces the contents of out (its memory reused) with the bytes of state.
void writeMatchState(const MatchState& state, std::vector<std::uint8_t>& out);
// Throws MatchStateError for anything that writeMatchState could not have written from a game.
MatchState readMatchState(std::span<const std::uint8_t> bytes);

} // namespace zindle
