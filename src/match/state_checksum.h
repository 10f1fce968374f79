#pragma once
// A 64-bit checksum of everything a match is made of: the board's timers and flags, heroes,
// clouds, the MacGuffin with its flares, every particle, the players' paddles and held keys,
// and how far the random generator has gone. Doubles enter by their exact bits, in a fixed
// order, so every build that computes the same match computes the same checksum. It is taken
// over a captured state, so what it covers is exactly what a snapshot holds.
#include "match/match_state.h"

#include <cstdint>

namespace zindle {

class Game;

std::uint64_t stateChecksum(const MatchState& state);
// Captures the game's state and takes its checksum.
std::uint64_t stateChecksum(const Game& game);

} // namespace zindle
