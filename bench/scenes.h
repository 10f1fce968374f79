#pragma once
// The situations the benchmarks measure, reached by playing the real program headless from a
// fixed seed: the title, a four-player match between computer players, and the peak of the
// first win fountain (thousands of particles).
#include "simulation.h"

#include <benchmark/benchmark.h>

#include <cstddef>

namespace zindle {
class Game;
}

namespace zindle::bench {

enum class Scene { Title, Match, WinFountain };

// The running program in that situation; built again when another scene was asked for last,
// or when fresh is set.
sim::Simulation& scene(Scene wanted, bool fresh = false);
// Takes the headless program down (before another media layer is installed).
void dropScene();
std::size_t particles(const Game& game);

constexpr double kFrameBudget = 1.0 / 60.0; // s of one frame at 60 frames per second

// Processor time of this thread: on a shared machine wall time also counts other programs.
double threadSeconds();
// Adds the counter budgetPct: the mean processor time of one iteration in percent of budget.
void reportBudgetShare(benchmark::State& state, double budget, double seconds);

} // namespace zindle::bench
