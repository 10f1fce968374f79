#include "audio/music.h"

#include "audio/levels.h"
#include "audio/mp3_writer.h"
#include "audio/score.h"
#include "audio/sequencer.h"

#include <algorithm>

namespace assetgen::audio {

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
        const Mp3Result mp3 = writeMp3(output / score.file, toPcm16(samples), Mp3Settings{});
        reports.push_back({score.file, samples.size() / 2, toDb(peakOf(samples)), mp3.encoderDelay,
                           mp3.encoderPadding});
    }
    return reports;
}

} // namespace assetgen::audio
