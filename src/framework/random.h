#pragma once
// The program's one source of uniform random numbers in [0, 1). A run starts it from a seed the
// operating system gives, which randomSeed() tells (a replay records it); tests and tools seed
// it, or replace it with a script of values.
#include "framework/mersenne_twister.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace zindle {

// The next uniform number in [0, 1).
double random();
// Restarts the generator from seed (and drops any script).
void seedRandom(std::uint64_t seed);
// The seed the generator last started from: the operating system's, until seedRandom.
std::uint64_t randomSeed();
// Takes the numbers from source instead of the generator; an empty function restores it.
void setRandomSource(std::function<double()> source);
// Numbers handed out since the last seedRandom. With the seed it pins down the generator's
// whole state, so a replay's checksum can cover the generator without copying it.
std::uint64_t randomDrawCount();

// The generator's whole state as a value, to go back to later (a match snapshot). A script set
// with setRandomSource is not part of it: it stays as it is across a restore.
struct RandomState {
    MersenneTwister64 generator;
    std::uint64_t seed = 0;
    std::uint64_t draws = 0;
};
RandomState randomState();
void restoreRandomState(const RandomState& state);

// Drawing a frame takes random numbers (flicker, shake). In local play they come from the one
// stream, as they always have. In an online match each peer draws at its own frame rate, so
// drawing must not touch the match's stream: with a drawing stream set, every random() inside
// a DrawingRandom scope comes from it instead. It is no part of the match state.
void setDrawingStream(std::optional<std::uint64_t> seed);
class DrawingRandom {
public:
    DrawingRandom();
    ~DrawingRandom();
    DrawingRandom(const DrawingRandom&) = delete;
    DrawingRandom& operator=(const DrawingRandom&) = delete;
};

} // namespace zindle
