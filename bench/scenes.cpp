// Reaching the benchmarks' scenes: each is played up to from a fixed seed, headless, so every
// run measures the same situation.
#include "scenes.h"

#include "match/game.h"

#include <ctime>
#include <memory>
#include <stdexcept>

namespace zindle::bench {

using namespace zindle::sim;

namespace {

constexpr double kMatchWarmUp = 20;                    // s of simulated time before measuring
constexpr std::int64_t kWinSearchLimit = 60 * 60 * 30; // frames: give up after 30 minutes
constexpr double kFountainWatch = 4; // s after the win in which the peak is sought

// One headless program at a time lives in the process; scenes are built on demand.
std::unique_ptr<Simulation> current;
Scene currentScene = Scene::Title;
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
        return build(scene); // the run is deterministic: the same frames lead to the peak again
    } else {
        sim.runFrames(fountainPeak);
    }
    return sim;
}

} // namespace

std::size_t particles(const Game& game) {
    return game.trails.size() + game.sparkles.size();
}

Simulation& scene(Scene wanted, bool fresh) {
    if (!current || currentScene != wanted || fresh)
        return build(wanted);
    return *current;
}

void dropScene() {
    current.reset();
}

double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void reportBudgetShare(benchmark::State& state, double budget, double seconds) {
    state.counters["budgetPct"] =
        100 * seconds / (static_cast<double>(state.iterations()) * budget);
}

} // namespace zindle::bench
