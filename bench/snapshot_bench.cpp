// Costs of match snapshots at the win fountain's peak, the largest state a match reaches:
// capturing into a snapshot that has captured before (a ring's steady state), and restoring
// into the game after it has run on a few steps (a rollback), each against a 0.3 ms target.
#include "loop/main.h"
#include "match/game.h"
#include "match/match_snapshot.h"
#include "scenes.h"

#include <benchmark/benchmark.h>

using namespace zindle;
using namespace zindle::bench;

namespace {

constexpr double kTarget = 0.0003;   // s for one capture or restore
constexpr int kStepsRolledBack = 15; // steps run between capture and restore: 50 ms of play

void reportTarget(benchmark::State& state, const Game& game, double seconds) {
    reportBudgetShare(state, kTarget, seconds);
    state.counters["ms"] = 1000 * seconds / static_cast<double>(state.iterations());
    state.counters["particles"] = static_cast<double>(particles(game));
}

void BM_SnapshotCaptureWinFountain(benchmark::State& state) {
    sim::Simulation& sim = scene(Scene::WinFountain, true);
    MatchSnapshot snapshot;
    snapshot.capture(sim.game());
    const double start = threadSeconds();
    for (auto _ : state)
        snapshot.capture(sim.game());
    reportTarget(state, sim.game(), threadSeconds() - start);
}

void BM_SnapshotRestoreWinFountain(benchmark::State& state) {
    sim::Simulation& sim = scene(Scene::WinFountain, true);
    Game& game = sim.game();
    MatchSnapshot snapshot;
    snapshot.capture(game);
    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < kStepsRolledBack; ++i)
            game.update(Main::UPDATE_STEP);
        state.ResumeTiming();
        const double start = threadSeconds();
        snapshot.restore(game);
        seconds += threadSeconds() - start;
    }
    reportTarget(state, game, seconds);
    sim.media().completeAllEffects();
}

} // namespace

BENCHMARK(BM_SnapshotCaptureWinFountain);
BENCHMARK(BM_SnapshotRestoreWinFountain)->Iterations(300);
