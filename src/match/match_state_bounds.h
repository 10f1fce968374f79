#pragma once
// What a match can hold, from the game's own numbers: the most particles it ever makes, the
// longest life one starts with, and how far anything can get from the screen. A match state
// that comes from outside (a peer, a replay) is held to them before it replaces the game's,
// so that a forged one cannot keep a game busy with particles that never die. Every limit on
// the size of a match state's bytes derives from kMaxMatchStateBytes.
#include "match/match_state.h"

#include <cstddef>
#include <optional>
#include <string>

namespace zindle {

// Particles of both lists together. The real peak is a win fountain's (about 14,000: ten sparks
// each laying a five-band ribbon every step); twice that covers two fountains at once.
inline constexpr std::size_t kMaxMatchParticles = 32'768;
// The longest life any particle starts with, in seconds of its own clock (a win spark's).
inline constexpr double kLongestParticleLife = 2.0;
// px from the screen's origin that anything may stand at. A spark flies some hundreds of px in
// its life; a hero falls out of the bottom long before this.
inline constexpr double kWorldReachPx = 1 << 16;
// Picture names a particle may carry (the longest tile name the game gives one is shorter).
inline constexpr std::size_t kMaxParticlePictureName = 64;

// The bytes of the largest state within these bounds: every particle of the largest kind.
// Generous for the rest (heroes, clouds, paddles and keys have fixed small maxima).
inline constexpr std::size_t kMaxParticleBytes = 1 + 4 * 8 + 4 + kMaxParticlePictureName;
inline constexpr std::size_t kMaxMatchStateBytes =
    kMaxMatchParticles * kMaxParticleBytes + (256u << 10);

// What in state lies beyond the game's bounds, or nothing when all is within them.
std::optional<std::string> matchStateOutOfBounds(const MatchState& state);

} // namespace zindle
