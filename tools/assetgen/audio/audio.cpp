// Making every sound: the effects from their presets, then the music from its scores, printing
// a line of levels for each file.
#include "audio/audio.h"

#include "audio/effects.h"
#include "audio/music.h"

#include <cstdio>

namespace assetgen {

void generateAudio(const std::filesystem::path& source, const std::filesystem::path& output) {
    const std::filesystem::path folder = source / "audio";
    // One line per file, so that a change to a preset or score shows its effect on the levels.
    for (const auto& r : audio::generateEffects(folder / "effects.txt", output)) {
        std::printf("%-22s %5.3f s  peak %6.2f dBFS  loudness %6.2f dB\n", r.file.c_str(),
                    r.seconds, r.peakDb, r.loudnessDb);
    }
    for (const auto& r : audio::generateMusic(folder, output)) {
        std::printf("%s: %zu frames (%.3f s)  peak %.2f dBFS  encoder delay %d, padding %d\n",
                    r.file.c_str(), r.frames,
                    static_cast<double>(r.frames) / audio::kMusicSampleRate, r.peakDb,
                    r.encoderDelay, r.encoderPadding);
    }
}

} // namespace assetgen
