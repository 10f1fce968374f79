// zindle-mixcheck: plays seeded four-computer matches and the title through the real mixer and
// SDL's disk audio driver, faster than real time, and checks what a player would hear: no
// clipping at the output, a sum that rarely needs the limiter, catches that stand out from
// hits, and music that holds its own under the effects. Prints one JSON line per figure.
#include "framework/untrusted_text.h"
#include "loudness.h"
#include "mix_run.h"
#include "options.h"
#include "simulation.h"
#include "tool_main.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

using namespace zindle::mixcheck;

constexpr double kClipLevel = 0.999;          // of full scale: no output sample reaches it
constexpr double kMaxSumOverFullScale = 1e-3; // share of the sum's samples the mixer clamped
constexpr double kCatchOverHitLu = 3;         // a catch at least this much louder than a hit
constexpr double kMusicWithinLu = 8;          // match music this close to the effects' average

// s: the longest run the tool takes. Each run keeps its loudness per 10 ms block and takes about
// a second of processor time per minute of sound: an hour is the most that is worth measuring.
constexpr double kMaxMixSeconds = 3600;
// The recordings --record keeps, one per run.
const char* const kRecordings[] = {"match", "effects", "music", "title"};

struct Options {
    std::uint64_t seed = 1;
    double seconds = 300;     // the whole mix
    double stemSeconds = 120; // the effects and the music on their own
    double titleSeconds = 30;
    std::string recordDir; // keeps the recordings as raw 16-bit stereo at 44.1 kHz
    std::filesystem::path dataRoot;
};

const char* const kUsage =
    "usage: zindle-mixcheck [options]\n"
    "  --seed N            seed of the computer players (default 1)\n"
    "  --seconds S         the whole mix, a four-computer match (default 300)\n"
    "  --stem-seconds S    the effects and the music on their own (default 120)\n"
    "  --title-seconds S   the title screen (default 30)\n"
    "  --record DIR        keeps what SDL's disk driver wrote, raw 16-bit stereo at 44.1 kHz:\n"
    "                      match.raw, effects.raw, music.raw, title.raw\n"
    "  --data DIR          the folder that holds assets/ (default: found from the executable)\n"
    "Seconds are of sound, more than 0 and at most 3600. Prints one JSON line per figure.\n";

double mixSeconds(const std::vector<std::string>& args, std::size_t& i) {
    const std::string& option = args[i];
    const auto values =
        zindle::sim::parseSeconds(option, zindle::sim::optionValue(args, i), kMaxMixSeconds);
    if (values.size() != 1 || values[0] <= 0)
        throw zindle::sim::UsageError(option + " needs one number of seconds above 0");
    return values[0];
}

Options parse(const std::vector<std::string>& args) {
    using zindle::sim::optionValue;
    Options o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--seed")
            o.seed = zindle::sim::parseSeed(a, optionValue(args, i));
        else if (a == "--seconds")
            o.seconds = mixSeconds(args, i);
        else if (a == "--stem-seconds")
            o.stemSeconds = mixSeconds(args, i);
        else if (a == "--title-seconds")
            o.titleSeconds = mixSeconds(args, i);
        else if (a == "--record")
            o.recordDir = optionValue(args, i);
        else if (a == "--data")
            o.dataRoot = optionValue(args, i);
        else
            throw zindle::sim::UsageError("unknown option '" + zindle::quoteUntrusted(a) + "'");
    }
    return o;
}

std::string recordingPath(const std::string& folder, const char* name) {
    return (std::filesystem::path(folder) / (std::string(name) + ".raw")).string();
}

// The recording folder is made and every file in it tried before the first run, so that a bad
// folder costs nothing and never leaves SDL to fall back to a silent device.
void prepareRecordings(const std::string& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error)
        throw zindle::sim::UsageError("--record: cannot make the folder " +
                                      zindle::quoteUntrusted(folder) + ": " + error.message());
    for (const char* name : kRecordings)
        zindle::sim::checkWritable("--record", recordingPath(folder, name));
}

double median(std::vector<double> values) {
    if (values.empty())
        return -INFINITY;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Momentary loudness of every start of a family in the recording, from the block it starts in.
std::vector<double> loudnessOfStarts(const MixRecording& r, const std::string& family) {
    std::vector<double> values;
    for (const auto& s : r.starts)
        if (s.family == family)
            values.push_back(momentaryLoudness(r.out.blocks(), s.frame / kBlockFrames));
    return values;
}

// A figure as JSON: a measure that came out infinite or undefined (no catch heard in a short
// run, silence) is null, which JSON has, rather than inf or nan, which it has not.
std::string jsonNumber(double value, const char* format) {
    if (!std::isfinite(value))
        return "null";
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

bool report(std::ostream& out, const std::string& figure, double measured,
            const std::string& target, bool met, const std::string& extra = "") {
    out << "{\"figure\": \"" << figure << "\", \"measured\": " << jsonNumber(measured, "%.4g")
        << ", \"target\": \"" << target << "\", \"met\": " << (met ? "true" : "false") << extra
        << "}\n";
    return met;
}

MixRunConfig runOf(const Options& o, const char* name, double seconds, bool match) {
    MixRunConfig c;
    c.seed = o.seed;
    c.seconds = seconds;
    c.dataRoot = o.dataRoot.empty() ? zindle::sim::locateDataRoot() : o.dataRoot;
    if (match)
        c.aiPlayers = {1, 2, 3, 4};
    if (!o.recordDir.empty())
        c.recordTo = recordingPath(o.recordDir, name);
    return c;
}

// Plays one run; with --record, checks that its file holds the whole run, since SDL's disk
// driver says nothing when a write fails (a full disk) and may even stop mixing.
MixRecording record(const MixRunConfig& config, bool recorded) {
    std::exception_ptr failure;
    MixRecording recording;
    try {
        recording = recordMix(config);
    } catch (...) {
        failure = std::current_exception();
    }
    if (recorded) {
        const auto wanted = static_cast<std::uintmax_t>(config.seconds * 44100) * 4;
        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(config.recordTo, error);
        if (error || size < wanted)
            throw zindle::sim::OutputError(
                "--record: writing " + zindle::quoteUntrusted(config.recordTo) + " failed: " +
                (error ? error.message()
                       : std::to_string(size) + " of at least " + std::to_string(wanted) +
                             " bytes written (a full disk?)"));
    }
    if (failure)
        std::rethrow_exception(failure);
    return recording;
}

int run(const std::vector<std::string>& args, std::ostream& out) {
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") {
            out << kUsage;
            return zindle::sim::kExitOk;
        }
    }
    const Options o = parse(args);
    const bool recorded = !o.recordDir.empty();
    if (recorded)
        prepareRecordings(o.recordDir);
    const auto began = std::chrono::steady_clock::now();
    bool ok = true;

    const MixRecording mix = record(runOf(o, "match", o.seconds, true), recorded);
    const double sumShare =
        static_cast<double>(mix.sumFullScale) / static_cast<double>(mix.sumSamples);
    ok &= report(out, "match output peak (of full scale)", mix.out.peak(), "< 0.999",
                 mix.out.peak() < kClipLevel);
    ok &= report(out, "match sum clamped ahead of the limiter (share of samples)", sumShare,
                 "< 0.001", sumShare < kMaxSumOverFullScale);

    MixRunConfig effectsOnly = runOf(o, "effects", o.stemSeconds, true);
    effectsOnly.music = false;
    const MixRecording effects = record(effectsOnly, recorded);
    const auto catches = loudnessOfStarts(effects, "pickup_coin");
    const auto hits = loudnessOfStarts(effects, "hit_hurt");
    const double catchOverHit = median(catches) - median(hits);
    ok &= report(out, "catch over hit (LU, medians of momentary loudness)", catchOverHit, ">= 3",
                 catchOverHit >= kCatchOverHitLu,
                 ", \"catches\": " + std::to_string(catches.size()) +
                     ", \"hits\": " + std::to_string(hits.size()));

    MixRunConfig musicOnly = runOf(o, "music", o.stemSeconds, true);
    musicOnly.effects = false;
    const MixRecording music = record(musicOnly, recorded);
    const double effectsLufs = integratedLoudness(effects.out.blocks());
    const double musicLufs = integratedLoudness(music.out.blocks());
    ok &= report(out, "match music against the effects (LU)", musicLufs - effectsLufs, "within 8",
                 std::fabs(musicLufs - effectsLufs) <= kMusicWithinLu,
                 ", \"music_lufs\": " + jsonNumber(musicLufs, "%.1f") +
                     ", \"effects_lufs\": " + jsonNumber(effectsLufs, "%.1f"));

    const MixRecording title = record(runOf(o, "title", o.titleSeconds, false), recorded);
    const double titleShare =
        static_cast<double>(title.sumFullScale) / static_cast<double>(title.sumSamples);
    ok &= report(out, "title output peak (of full scale)", title.out.peak(), "< 0.999",
                 title.out.peak() < kClipLevel && titleShare == 0,
                 ", \"sum_clamped\": " + std::to_string(title.sumFullScale));

    const double took =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    char summary[160];
    std::snprintf(summary, sizeof summary,
                  "{\"seed\": %llu, \"seconds\": %g, \"stem_seconds\": %g, \"wall_seconds\": "
                  "%.1f}\n",
                  static_cast<unsigned long long>(o.seed), o.seconds, o.stemSeconds, took);
    out << summary;
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    return zindle::sim::runTool("zindle-mixcheck", argc, argv, run, "");
}
