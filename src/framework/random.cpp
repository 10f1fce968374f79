// The generator behind random() and the hook that lets tests and tools script its numbers.
#include "framework/random.h"

#include <chrono>
#include <random>
#include <utility>

namespace zindle {

namespace {
// A double has 53 bits of mantissa: the top 53 bits of a draw scaled by 2^-53 land in [0, 1)
// and can never round up to 1.
constexpr int kMantissaBits = 53;
constexpr double kTwoToMinus53 = 1.0 / 9007199254740992.0;

struct RandomState {
    std::uint64_t seed =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    std::mt19937_64 generator{seed};
    std::function<double()> script;
    std::uint64_t draws = 0;
};

RandomState& state() {
    static RandomState s;
    return s;
}
} // namespace

double random() {
    auto& s = state();
    ++s.draws;
    if (s.script)
        return s.script();
    return static_cast<double>(s.generator() >> (64 - kMantissaBits)) * kTwoToMinus53;
}

void seedRandom(std::uint64_t seed) {
    auto& s = state();
    s.seed = seed;
    s.generator.seed(seed);
    s.script = nullptr;
    s.draws = 0;
}

void setRandomSource(std::function<double()> source) {
    state().script = std::move(source);
}

std::uint64_t randomSeed() {
    return state().seed;
}

std::uint64_t randomDrawCount() {
    return state().draws;
}

} // namespace zindle
