// zindle-sim: plays the real program without a window, as fast as the machine allows, and
// prints what happened as one JSON object. Same options, same output (apart from the wall
// time and the memory figures).
#include "base/rules.h"
#include "base/version.h"
#include "json.h"
#include "options.h"
#include "replay/replay_notes.h"
#include "replay/replay_reader.h"
#include "replay/replay_recorder.h"
#include "replay_run.h"
#include "simulation.h"
#include "tool_main.h"

#include "framework/untrusted_text.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>

using namespace zindle::sim;
using zindle::matchClock;
using zindle::readReplayFile;
using zindle::Replay;
using zindle::ReplayChecker;

namespace {

struct Memory {
    long halfway = 0;
    long end = 0;
};

std::string report(const RunStats& stats, bool closed, double wallSeconds, Memory memory,
                   const std::string& replay = {}) {
    std::string sounds = "{";
    for (const auto& [category, count] : stats.soundsByCategory) {
        if (sounds.size() > 1)
            sounds += ',';
        appendString(sounds, category);
        sounds += ':' + std::to_string(count);
    }
    sounds += '}';
    return JsonObject()
        .integer("steps", stats.steps)
        .integer("frames", stats.frames)
        .number("gameSeconds", static_cast<double>(stats.frames) / kFrameRate)
        .boolean("closed", closed)
        .number("wallSeconds", wallSeconds)
        .number("cpuSeconds", cpuSeconds())
        .number("stepsPerWallSecond",
                wallSeconds > 0 ? static_cast<double>(stats.steps) / wallSeconds : 0)
        .integer("catches", stats.catches)
        .integer("falls", stats.falls)
        .integer("wins", stats.wins)
        .integer("maxTrails", static_cast<std::int64_t>(stats.maxTrails))
        .integer("maxSparkles", static_cast<std::int64_t>(stats.maxSparkles))
        .integer("maxTilesPerFrame", static_cast<std::int64_t>(stats.maxTilesPerFrame))
        .raw("soundsByCategory", sounds)
        .integer("peakRssKb", peakRssKb())
        .integer("rssKbHalfway", memory.halfway)
        .integer("rssKbEnd", memory.end)
        .raw("replay", replay.empty() ? "null" : replay)
        .str();
}

// --replay: the recorded match again, every checksum compared. 0 when all agree, 1 at the
// first that does not.
int checkReplay(const std::string& path, const CommonOptions& options, std::ostream& out) {
    const Replay replay = readReplayFile(path);
    if (const std::string note = zindle::otherVersionNote(replay); !note.empty())
        std::cerr << path << ": " << note << "\n";
    TraceFile trace(options.tracePath);
    const auto start = std::chrono::steady_clock::now();
    ReplayRun run(replay, options.run);
    trace.attach(run.simulation());
    run.run();
    trace.finish();
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    const ReplayChecker& checker = run.checker();
    const auto mismatch = checker.firstMismatch();
    std::string result =
        JsonObject()
            .integer("frames", static_cast<std::int64_t>(replay.frames))
            .integer("joinFrame", replay.header.joinFrame)
            .unsignedInteger("seed", replay.header.seed)
            .boolean("finished", replay.finished)
            .raw("cutAfterBlocks",
                 replay.cut ? std::to_string(replay.cut->wholeBlocks) : std::string("null"))
            .integer("checksums", static_cast<std::int64_t>(replay.checksums.size()))
            .integer("checked", static_cast<std::int64_t>(checker.checked()))
            .raw("firstMismatchStep", mismatch ? std::to_string(*mismatch) : std::string("null"))
            .str();
    out << report(run.simulation().stats(), run.simulation().closed(), wall, {}, result)
        << std::endl;
    if (mismatch) {
        std::cerr << "zindle-sim: " << path << ": the game differs from the recording at "
                  << matchClock(zindle::matchSecondsAt(replay, *mismatch)) << " of the match (step "
                  << *mismatch << " since the game started)\n";
        return kExitProgramError;
    }
    if (checker.checked() < replay.checksums.size()) {
        std::cerr << "zindle-sim: " << path << ": the game closed at step " << run.cursor().step()
                  << ", before the recording ends\n";
        return kExitProgramError;
    }
    if (const std::string stop = zindle::whereRecordingStops(replay); !stop.empty())
        std::cerr << path << ": " << stop << "\n";
    return kExitOk;
}

int run(const std::vector<std::string>& args, std::ostream& out) {
    CommonOptions options;
    std::string replayPath;
    std::string recordPath;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            out << "usage: zindle-sim [options]\n"
                << kCommonUsage
                << "  --replay FILE   re-simulate a recorded match (its seed, frames and inputs)\n"
                   "                  and compare every checksum; exit 1 at the first that\n"
                   "                  differs, 2 for a file that is not a readable replay\n"
                   "  --record FILE   record the first match of this run as a replay\n"
                << "Prints one JSON object. catches: the MacGuffin sent away by a hero;\n"
                   "falls: heroes that dropped out of the bottom (respawned or gone);\n"
                   "wins: heroes that left the game any other way (the sixth catch).\n"
                   "Same options, same output, apart from the time and memory figures.\n";
            return kExitOk;
        }
        if (args[i] == "--replay")
            replayPath = optionValue(args, i);
        else if (args[i] == "--record")
            recordPath = optionValue(args, i);
        else if (!parseCommonOption(args, i, options))
            throw UsageError("unknown option '" + zindle::quoteUntrusted(args[i]) + "'");
    }
    if (!replayPath.empty())
        return checkReplay(replayPath, options, out);
    if (!recordPath.empty()) {
        const std::uint64_t seed = options.run.seed;
        options.run.makeTap = [recordPath, seed](Simulation& sim) {
            zindle::ReplayRecorder::Options recording;
            recording.file = recordPath;
            recording.seed = seed;
            recording.game = [&sim] { return &sim.game(); };
            return std::make_unique<zindle::ReplayRecorder>(std::move(recording));
        };
    }

    TraceFile trace(options.tracePath);

    const auto start = std::chrono::steady_clock::now();
    Simulation sim(options.run);
    trace.attach(sim);
    // Memory taken half-way and at the end shows whether a long run keeps growing.
    const std::int64_t frames = std::llround(options.seconds * kFrameRate);
    Memory memory;
    sim.runFrames(frames / 2);
    memory.halfway = currentRssKb();
    sim.runFrames(frames);
    memory.end = currentRssKb();
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    trace.finish();
    out << report(sim.stats(), sim.closed(), wall, memory) << std::endl;
    return kExitOk;
}

} // namespace

int main(int argc, char** argv) {
    return runTool("zindle-sim", argc, argv, run, "the game failed: ");
}
