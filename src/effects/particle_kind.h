#pragma once
// The particle kinds as numbers, for code that keeps particles as values (match snapshots and
// their bytes), and the tag that makes a particle of any kind without drawing random numbers.
#include <cstdint>

namespace zindle {

enum class ParticleKind : std::uint8_t {
    Plain,
    Rain,
    Rainbow,
    Ascend,
    Win,
    MacGuffinDrop,
    HeroSparkle,
    SimpleSparkle,
};
constexpr int kParticleKinds = 8;

// Picks the constructors that make a blank particle, every field zero, to be filled in.
struct BlankParticle {};

} // namespace zindle
