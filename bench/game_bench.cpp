// Costs of one logic step and one frame's drawing of the real Game, on the headless media
// layer, in three situations: the idle title, a four-player match between computer players,
// and the middle of a win fountain. Each is also given as a share of its budget: a step has
// 1/300 s, a frame's drawing 1/60 s.
#include "loop/main.h"
#include "match/game.h"
#include "scenes.h"

#include <benchmark/benchmark.h>

using namespace zindle;
using namespace zindle::bench;

namespace {

constexpr double kStepBudget = Main::UPDATE_STEP; // s
constexpr int kFountainSteps = 300; // steps measured from the fountain's peak (slowed world)
constexpr int kPeakRuns = 5;        // fresh peaks built for the single-step figure

void reportBudget(benchmark::State& state, double budget, Game& game, double seconds) {
    reportBudgetShare(state, budget, seconds);
    state.counters["particles"] = static_cast<double>(particles(game));
    state.counters["heroes"] = static_cast<double>(game.heroes.size());
}

void step(benchmark::State& state, Scene which, bool fresh) {
    sim::Simulation& sim = scene(which, fresh);
    Game& game = sim.game();
    const double start = threadSeconds();
    for (auto _ : state)
        game.update(Main::UPDATE_STEP);
    reportBudget(state, kStepBudget, game, threadSeconds() - start);
    // The steps started sounds that nobody polls here; end them so channel lists stay short.
    sim.media().completeAllEffects();
}

// Drawing changes nothing, so a fresh scene shows exactly the state that was asked for.
void draw(benchmark::State& state, Scene which) {
    sim::Simulation& sim = scene(which, true);
    Game& game = sim.game();
    Graphics& graphics = Main::instance->graphics();
    const double start = threadSeconds();
    for (auto _ : state)
        game.draw(graphics);
    reportBudget(state, kFrameBudget, game, threadSeconds() - start);
}

void BM_StepTitle(benchmark::State& state) {
    step(state, Scene::Title, false);
}
void BM_StepMatch(benchmark::State& state) {
    step(state, Scene::Match, false);
}
// The fountain dies down as it is stepped: every run starts again from its peak.
void BM_StepWinFountain(benchmark::State& state) {
    step(state, Scene::WinFountain, true);
}
// The single most expensive step: the first one from the fountain's peak, each run from a
// freshly built peak (the build is not timed).
void BM_StepWinFountainPeak(benchmark::State& state) {
    double seconds = 0;
    Game* game = nullptr;
    for (auto _ : state) {
        state.PauseTiming();
        sim::Simulation& sim = scene(Scene::WinFountain, true);
        game = &sim.game();
        state.ResumeTiming();
        const double start = threadSeconds();
        game->update(Main::UPDATE_STEP);
        seconds += threadSeconds() - start;
    }
    if (game != nullptr)
        reportBudget(state, kStepBudget, *game, seconds);
}
void BM_DrawTitle(benchmark::State& state) {
    draw(state, Scene::Title);
}
void BM_DrawMatch(benchmark::State& state) {
    draw(state, Scene::Match);
}
void BM_DrawWinFountain(benchmark::State& state) {
    draw(state, Scene::WinFountain);
}

} // namespace

BENCHMARK(BM_StepTitle);
BENCHMARK(BM_DrawTitle);
BENCHMARK(BM_StepMatch);
BENCHMARK(BM_DrawMatch);
BENCHMARK(BM_DrawWinFountain);
BENCHMARK(BM_StepWinFountain)->Iterations(kFountainSteps);
BENCHMARK(BM_StepWinFountainPeak)->Iterations(kPeakRuns);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    dropScene();
    return 0;
}
