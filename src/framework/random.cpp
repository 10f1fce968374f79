// The generator behind random(), its seed, and the hook that lets tests and tools script its
// numbers.
#include "framework/random.h"

#include <chrono>
#include <cstring>
#include <random>
#include <unistd.h>
#include <utility>

namespace zindle {

namespace {
// A double has 53 bits of mantissa: the top 53 bits of a draw scaled by 2^-53 land in [0, 1)
// and can never round up to 1.
constexpr int kMantissaBits = 53;
constexpr double kTwoToMinus53 = 1.0 / 9007199254740992.0;

// 64 bits from the operating system's random source (in a browser, Emscripten takes them from
// crypto.getRandomValues). Should it ever refuse, the clock still makes every run different.
std::uint64_t systemSeed() {
    unsigned char bytes[sizeof(std::uint64_t)];
    std::uint64_t seed = 0;
    if (getentropy(bytes, sizeof bytes) == 0) {
        std::memcpy(&seed, bytes, sizeof seed);
        return seed;
    }
    return static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

struct RandomSource {
    RandomSource() {
        value.seed = systemSeed();
        value.generator.seed(value.seed);
    }
    RandomState value;
    std::function<double()> script;
};

RandomSource& source() {
    static RandomSource s;
    return s;
}

struct DrawingSource {
    std::optional<MersenneTwister64> generator;
    int scopes = 0; // DrawingRandom scopes alive
};

DrawingSource& drawing() {
    static DrawingSource d;
    return d;
}
} // namespace

double random() {
    auto& d = drawing();
    if (d.scopes > 0 && d.generator)
        return static_cast<double>((*d.generator)() >> (64 - kMantissaBits)) * kTwoToMinus53;
    auto& s = source();
    ++s.value.draws;
    if (s.script)
        return s.script();
    return static_cast<double>(s.value.generator() >> (64 - kMantissaBits)) * kTwoToMinus53;
}

void seedRandom(std::uint64_t seed) {
    auto& s = source();
    s.value.seed = seed;
    s.value.generator.seed(seed);
    s.script = nullptr;
    s.value.draws = 0;
}

std::uint64_t randomSeed() {
    return source().value.seed;
}

void setRandomSource(std::function<double()> script) {
    source().script = std::move(script);
}

std::uint64_t randomDrawCount() {
    return source().value.draws;
}

RandomState randomState() {
    return source().value;
}

void restoreRandomState(const RandomState& state) {
    source().value = state;
}

void setDrawingStream(std::optional<std::uint64_t> seed) {
    auto& d = drawing();
    if (seed)
        d.generator.emplace(*seed);
    else
        d.generator.reset();
}

DrawingRandom::DrawingRandom() {
    ++drawing().scopes;
}

DrawingRandom::~DrawingRandom() {
    --drawing().scopes;
}

} // namespace zindle
