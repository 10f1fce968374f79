// Costs of one logic step and one frame's drawing of the real Game, on the headless media
// layer, in three situations: the idle title, a four-player match between computer players,
// and the middle of a win fountain. Each is also given as a share of its budget: a step has
// 1/300 s, a frame's drawing 1/60 s.
#include "app/main.h"
#include "match/game.h"
#include "simulation.h"

#include <benchmark/benchmark.h>

#include <ctime>
#include <memory>
#include <stdexcept>

using namespace zindle;
using namespace zindle::sim;

namespace {

constexpr double kStepBudget = Main::UPDATE_STEP;      // s
constexpr double kFrameBudget = 1.0 / 60.0;            // s
constexpr double kMatchWarmUp = 20;                    // s of simulated time before measuring
constexpr std::int64_t kWinSearchLimit = 60 * 60 * 30; // frames: give up after 30 minutes
constexpr int kFountainSteps = 300;  // steps measured from the fountain's peak (slowed world)
constexpr double kFountainWatch = 4; // s after the win in which the peak is sought

enum class Scene { Title, Match, WinFountain };

// One headless program at a time lives in the process; scenes are built on demand.
std::unique_ptr<Simulation> current;
Scene currentScene = Scene::Title;

std::size_t particles(Game& game) {
    return game.trails.size() + game.sparkles.size();
}

// Frame at which the fountain of the first win holds the most particles; found once.
std::int64_t fountainPeak = -1;

void findFountainPeak(Simulation& sim) {
    while (sim.stats().wins == 0 && sim.frame() < kWinSearchLimit)
        sim.runFrame();
    if (sim.stats().wins == 0)
        throw std::runtime_error("no win within the search limit");
    std::size_t most = 0;
    const std::int64_t end = sim.frame() + static_cast<std::int64_t>(kFountainWatch * kFrameRate);
    while (sim.frame() < end) {
        sim.runFrame();
        if (particles(sim.game()) > most) {
            most = particles(sim.game());
            fountainPeak = sim.frame();
        }
    }
}

Simulation& build(Scene scene) {
    current.reset();
    RunConfig config;
    config.seed = 1;
    if (scene != Scene::Title)
        config.aiPlayers = {1, 2, 3, 4};
    current = std::make_unique<Simulation>(config);
    currentScene = scene;
    Simulation& sim = *current;
    if (scene == Scene::Title) {
        sim.runFrames(60);
    } else if (scene == Scene::Match) {
        sim.runFrames(static_cast<std::int64_t>(kMatchWarmUp * kFrameRate));
    } else if (fountainPeak < 0) {
        findFountainPeak(sim);
        return build(scene); // the run is deterministic: the same frame again is the peak
    } else {
        sim.runFrames(fountainPeak);
    }
    return sim;
}

Simulation& scene(Scene wanted, bool fresh = false) {
    if (!current || currentScene != wanted || fresh)
        return build(wanted);
    return *current;
}

// Processor time of this thread: on a shared machine wall time also counts other programs.
double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void reportBudget(benchmark::State& state, double budget, Game& game, double seconds) {
    // The mean processor time of one iteration, in percent of its budget.
    state.counters["budgetPct"] =
        100 * seconds / (static_cast<double>(state.iterations()) * budget);
    state.counters["particles"] = static_cast<double>(particles(game));
    state.counters["heroes"] = static_cast<double>(game.heroes.size());
}

void step(benchmark::State& state, Scene which, bool fresh) {
    Simulation& sim = scene(which, fresh);
    Game& game = sim.game();
    const double start = threadSeconds();
    for (auto _ : state)
        game.update(Main::UPDATE_STEP);
    reportBudget(state, kStepBudget, game, threadSeconds() - start);
    // The steps started sounds that nobody polls here; end them so channel lists stay short.
    sim.media().completeAllEffects();
}

void draw(benchmark::State& state, Scene which) {
    Simulation& sim = scene(which);
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

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    current.reset();
    return 0;
}
