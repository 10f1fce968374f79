// zindle-sim: plays the real program without a window, as fast as the machine allows, and
// prints what happened as one JSON object. Same options, same output (apart from the wall
// time and the memory figures).
#include "json.h"
#include "options.h"
#include "simulation.h"
#include "tool_main.h"

#include "framework/untrusted_text.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>

using namespace zindle::sim;

namespace {

struct Memory {
    long halfway = 0;
    long end = 0;
};

std::string report(const RunStats& stats, bool closed, double wallSeconds, Memory memory) {
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
        .str();
}

int run(const std::vector<std::string>& args, std::ostream& out) {
    CommonOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            out << "usage: zindle-sim [options]\n"
                << kCommonUsage
                << "Prints one JSON object. catches: the MacGuffin sent away by a hero;\n"
                   "falls: heroes that dropped out of the bottom (respawned or gone);\n"
                   "wins: heroes that left the game any other way (the sixth catch).\n"
                   "Same options, same output, apart from the time and memory figures.\n";
            return kExitOk;
        }
        if (!parseCommonOption(args, i, options))
            throw UsageError("unknown option '" + zindle::quoteUntrusted(args[i]) + "'");
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
