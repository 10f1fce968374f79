// Rendering each score through the sequencer, levelling it, and encoding it as its mp3.
#include "audio/music.h"

#include "audio/levels.h"
#include "audio/mp3_writer.h"
#include "audio/score.h"
#include "audio/sequencer.h"

#include <algorithm>
#include <cmath>

namespace assetgen::audio {
namespace {

constexpr double kStartSearchS = 0.005; // how far before the downbeat the file may begin

// Turns the loop so that the file begins at its quietest frame within the last few
// milliseconds before the downbeat. The loop stays the same circle of samples, so the seam is
// untouched, but the very first start (from silence) no longer begins on a step.
void startAtAQuietFrame(std::vector<double>& interleaved, int sampleRate) {
    const std::size_t frames = interleaved.size() / 2;
    const auto search = std::min(frames, static_cast<std::size_t>(kStartSearchS * sampleRate));
    std::size_t best = 0;
    double bestLevel = std::fabs(interleaved[0]) + std::fabs(interleaved[1]);
    for (std::size_t back = 1; back <= search; ++back) {
        const std::size_t f = frames - back;
        const double level = std::fabs(interleaved[f * 2]) + std::fabs(interleaved[f * 2 + 1]);
        if (level < bestLevel) {
            bestLevel = level;
            best = f;
        }
    }
    std::rotate(interleaved.begin(), interleaved.begin() + static_cast<std::ptrdiff_t>(best * 2),
                interleaved.end());
}

} // namespace

std::vector<MusicReport> generateMusic(const std::filesystem::path& folder,
                                       const std::filesystem::path& output) {
    // Sorted, so that the work and any error come in the same order on every run.
    std::vector<std::filesystem::path> scores;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == ".score") {
            scores.push_back(entry.path());
        }
    }
    std::sort(scores.begin(), scores.end());

    std::vector<MusicReport> reports;
    for (const auto& path : scores) {
        const Score score = Score::read(path);
        std::vector<double> samples = renderScore(score, kMusicSampleRate);
        // No fades: the end runs straight into the start when the track loops.
        scale(samples, fromDb(score.peakDb) / std::max(peakOf(samples), 1e-9));
        startAtAQuietFrame(samples, kMusicSampleRate);
        const Mp3Result mp3 = writeMp3(output / score.file, toPcm16(samples), Mp3Settings{});
        reports.push_back({score.file, samples.size() / 2, toDb(peakOf(samples)), mp3.encoderDelay,
                           mp3.encoderPadding});
    }
    return reports;
}

} // namespace assetgen::audio
