// zindle-mixcheck: plays seeded four-computer matches and the title through the real mixer and
// SDL's disk audio driver, faster than real time, and checks what a player would hear: no
// clipping at the output, a sum that rarely needs the limiter, catches that stand out from
// hits, and music that holds its own under the effects. Prints one JSON line per figure.
#include "loudness.h"
#include "mix_run.h"
#include "simulation.h"

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

struct Options {
    std::uint64_t seed = 1;
    double seconds = 300;     // the whole mix
    double stemSeconds = 120; // the effects and the music on their own
    double titleSeconds = 30;
    std::string recordDir; // keeps the recordings as raw 16-bit stereo at 44.1 kHz
    std::filesystem::path dataRoot;
};

void usage() {
    std::cerr << "usage: zindle-mixcheck [--seed N] [--seconds S] [--stem-seconds S]\n"
                 "                       [--title-seconds S] [--record DIR] [--data DIR]\n";
}

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc)
            return false;
        const std::string v = argv[++i];
        try {
            if (a == "--seed")
                o.seed = std::stoull(v);
            else if (a == "--seconds")
                o.seconds = std::stod(v);
            else if (a == "--stem-seconds")
                o.stemSeconds = std::stod(v);
            else if (a == "--title-seconds")
                o.titleSeconds = std::stod(v);
            else if (a == "--record")
                o.recordDir = v;
            else if (a == "--data")
                o.dataRoot = v;
            else
                return false;
        } catch (const std::exception&) {
            return false;
        }
    }
    return o.seconds > 0 && o.stemSeconds > 0 && o.titleSeconds > 0;
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

bool report(const std::string& figure, double measured, const std::string& target, bool met,
            const std::string& extra = "") {
    std::printf("{\"figure\": \"%s\", \"measured\": %.4g, \"target\": \"%s\", \"met\": %s%s}\n",
                figure.c_str(), measured, target.c_str(), met ? "true" : "false", extra.c_str());
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
        c.recordTo = (std::filesystem::path(o.recordDir) / (std::string(name) + ".raw")).string();
    return c;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parse(argc, argv, o)) {
        usage();
        return 2;
    }
    try {
        const auto began = std::chrono::steady_clock::now();
        if (!o.recordDir.empty())
            std::filesystem::create_directories(o.recordDir);
        bool ok = true;

        const MixRecording mix = recordMix(runOf(o, "match", o.seconds, true));
        const double sumShare =
            static_cast<double>(mix.sumFullScale) / static_cast<double>(mix.sumSamples);
        ok &= report("match output peak (of full scale)", mix.out.peak(), "< 0.999",
                     mix.out.peak() < kClipLevel);
        ok &= report("match sum clamped ahead of the limiter (share of samples)", sumShare,
                     "< 0.001", sumShare < kMaxSumOverFullScale);

        MixRunConfig effectsOnly = runOf(o, "effects", o.stemSeconds, true);
        effectsOnly.music = false;
        const MixRecording effects = recordMix(effectsOnly);
        const auto catches = loudnessOfStarts(effects, "pickup_coin");
        const auto hits = loudnessOfStarts(effects, "hit_hurt");
        const double catchOverHit = median(catches) - median(hits);
        ok &= report("catch over hit (LU, medians of momentary loudness)", catchOverHit, ">= 3",
                     catchOverHit >= kCatchOverHitLu,
                     ", \"catches\": " + std::to_string(catches.size()) +
                         ", \"hits\": " + std::to_string(hits.size()));

        MixRunConfig musicOnly = runOf(o, "music", o.stemSeconds, true);
        musicOnly.effects = false;
        const MixRecording music = recordMix(musicOnly);
        const double effectsLufs = integratedLoudness(effects.out.blocks());
        const double musicLufs = integratedLoudness(music.out.blocks());
        char levels[96];
        std::snprintf(levels, sizeof levels, ", \"music_lufs\": %.1f, \"effects_lufs\": %.1f",
                      musicLufs, effectsLufs);
        ok &= report("match music against the effects (LU)", musicLufs - effectsLufs, "within 8",
                     std::fabs(musicLufs - effectsLufs) <= kMusicWithinLu, levels);

        const MixRecording title = recordMix(runOf(o, "title", o.titleSeconds, false));
        const double titleShare =
            static_cast<double>(title.sumFullScale) / static_cast<double>(title.sumSamples);
        ok &= report("title output peak (of full scale)", title.out.peak(), "< 0.999",
                     title.out.peak() < kClipLevel && titleShare == 0,
                     ", \"sum_clamped\": " + std::to_string(title.sumFullScale));

        const double took =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        std::printf("{\"seed\": %llu, \"seconds\": %g, \"stem_seconds\": %g, \"wall_seconds\": "
                    "%.1f}\n",
                    static_cast<unsigned long long>(o.seed), o.seconds, o.stemSeconds, took);
        return ok ? 0 : 1;
    } catch (const std::exception& e) {
        std::cerr << "zindle-mixcheck: " << e.what() << "\n";
        return 2;
    }
}
