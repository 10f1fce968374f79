#pragma once
// The music tracks: every "*.score" file of the folder played by the sequencer, levelled and
// encoded as the mp3 its [track] names.
#include <filesystem>
#include <string>
#include <vector>

namespace assetgen::audio {

constexpr int kMusicSampleRate = 44100;

struct MusicReport {
    std::string file;
    std::size_t frames = 0; // samples per channel in one loop
    double peakDb = 0.0;
    int encoderDelay = 0;
    int encoderPadding = 0;
};

std::vector<MusicReport> generateMusic(const std::filesystem::path& folder,
                                       const std::filesystem::path& output);

} // namespace assetgen::audio
