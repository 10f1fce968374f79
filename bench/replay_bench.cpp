// Costs of replays: recording one frame at the win fountain (its steps' share of the recorder's
// work, a checksum every 300 steps included), the checksum on its own (the frame that takes
// one), and a jump back near the end of a ten-minute match, which starts the game again from
// the seed and runs ahead to the moment asked for.
#include "loop/main.h"
#include "match/game.h"
#include "match/match_snapshot.h"
#include "match/state_checksum.h"
#include "replay/replay_reader.h"
#include "replay/replay_recorder.h"
#include "replay/replay_viewer.h"
#include "scenes.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace zindle;
using namespace zindle::bench;

namespace {

constexpr int kStepsPerFrame = 5;
constexpr double kMatchSeconds = 600;
constexpr std::uint64_t kMatchSeed = 6; // two wins in ten minutes of four computer players

void BM_RecordFrameWinFountain(benchmark::State& state) {
    sim::Simulation& sim = scene(Scene::WinFountain, true);
    ReplayRecorder::Options options; // no folder: the history only, as before a join
    options.game = [&sim] { return &sim.game(); };
    ReplayRecorder recorder(std::move(options));
    const double start = threadSeconds();
    for (auto _ : state) {
        for (int i = 0; i < kStepsPerFrame; ++i)
            recorder.stepped();
        recorder.frameEnded(kStepsPerFrame);
    }
    reportBudgetShare(state, kFrameBudget, threadSeconds() - start);
    state.counters["particles"] = static_cast<double>(particles(sim.game()));
}

void BM_StateChecksumWinFountain(benchmark::State& state) {
    sim::Simulation& sim = scene(Scene::WinFountain, true);
    const double start = threadSeconds();
    for (auto _ : state)
        benchmark::DoNotOptimize(stateChecksum(sim.game()));
    reportBudgetShare(state, kFrameBudget, threadSeconds() - start);
    state.counters["particles"] = static_cast<double>(particles(sim.game()));
}

// The checksum alone, over a state already captured (as online play takes it each tick, over the
// state saved for rollback).
void BM_StateChecksumOfCapturedWinFountain(benchmark::State& state) {
    sim::Simulation& sim = scene(Scene::WinFountain, true);
    MatchSnapshot snapshot;
    snapshot.capture(sim.game());
    const double start = threadSeconds();
    for (auto _ : state)
        benchmark::DoNotOptimize(stateChecksum(snapshot.state()));
    reportBudgetShare(state, kFrameBudget, threadSeconds() - start);
    state.counters["particles"] = static_cast<double>(particles(sim.game()));
}

// Ten minutes of four computer players, recorded once.
const Replay& tenMinutes() {
    static const Replay replay = [] {
        dropScene();
        const auto file = std::filesystem::temp_directory_path() /
                          ("zindle-bench-" + std::to_string(::getpid()) + ".replay");
        {
            sim::RunConfig config;
            config.seed = kMatchSeed;
            config.aiPlayers = {1, 2, 3, 4};
            config.makeTap = [file](sim::Simulation& sim) {
                ReplayRecorder::Options options;
                options.file = file;
                options.seed = kMatchSeed;
                options.game = [&sim] { return &sim.game(); };
                return std::make_unique<ReplayRecorder>(std::move(options));
            };
            sim::Simulation sim(config);
            sim.runFrames(static_cast<std::int64_t>(kMatchSeconds * sim::kFrameRate));
        }
        Replay r = readReplayFile(file);
        std::filesystem::remove(file);
        return r;
    }();
    return replay;
}

double residentMegabytes() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1e6;
}

void BM_ReplayJumpBackNearTheEndOfTenMinutes(benchmark::State& state) {
    const Replay& replay = tenMinutes();
    sim::RunConfig config;
    config.seed = replay.header.seed;
    sim::Simulation sim(config);
    ReplayViewer::install(replay, "bench");
    auto& viewer = static_cast<ReplayViewer&>(*Main::feed);
    const std::uint64_t end = replay.steps - replay.joinStep;
    // The first pass to the end plays everything and keeps the keyframes: the memory they take
    // is most of what the process grows by.
    const double before = residentMegabytes();
    viewer.seek(*Main::instance, end);
    state.counters["keyframes"] = static_cast<double>(viewer.keyframes());
    state.counters["keyframeMB"] = residentMegabytes() - before;
    double seconds = 0;
    for (auto _ : state) {
        const double start = threadSeconds();
        viewer.seek(*Main::instance,
                    end - 300 * static_cast<std::uint64_t>(ReplayViewer::kJumpSeconds));
        seconds += threadSeconds() - start;
        state.PauseTiming();
        viewer.seek(*Main::instance, end);
        state.ResumeTiming();
    }
    state.counters["seconds"] = seconds / static_cast<double>(state.iterations());
    state.counters["matchSeconds"] = static_cast<double>(end) / 300;
}

// The slowest jump there is: back to just before each keyframe of the match (every five seconds,
// the win fountains included), so that nearly five seconds are re-simulated each time, from the
// end of the match where a viewer would stand.
void BM_ReplayJumpToEveryStretchOfTenMinutes(benchmark::State& state) {
    const Replay& replay = tenMinutes();
    sim::RunConfig config;
    config.seed = replay.header.seed;
    sim::Simulation sim(config);
    ReplayViewer::install(replay, "bench");
    auto& viewer = static_cast<ReplayViewer&>(*Main::feed);
    const std::uint64_t end = replay.steps - replay.joinStep;
    viewer.seek(*Main::instance, end);
    const auto spacing = static_cast<std::uint64_t>(ReplayViewer::kKeyframeSeconds * 300);
    double worst = 0;
    double total = 0;
    int jumps = 0;
    for (auto _ : state) {
        for (std::uint64_t at = 2 * spacing - 10; at < replay.steps; at += spacing) {
            if (at < replay.joinStep)
                continue;
            viewer.seek(*Main::instance, end);
            const double start = threadSeconds();
            viewer.seek(*Main::instance, at - replay.joinStep);
            const double seconds = threadSeconds() - start;
            worst = std::max(worst, seconds);
            total += seconds;
            ++jumps;
        }
    }
    state.counters["worstSeconds"] = worst;
    state.counters["meanSeconds"] = jumps > 0 ? total / jumps : 0;
    state.counters["jumps"] = jumps;
}

} // namespace

BENCHMARK(BM_RecordFrameWinFountain)->Iterations(3000);
BENCHMARK(BM_StateChecksumWinFountain);
BENCHMARK(BM_StateChecksumOfCapturedWinFountain);
BENCHMARK(BM_ReplayJumpBackNearTheEndOfTenMinutes)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplayJumpToEveryStretchOfTenMinutes)->Iterations(1)->Unit(benchmark::kMillisecond);
