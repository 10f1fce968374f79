#pragma once
// The sound effects: every category of the preset file rendered, levelled and written as
// "<stem><n>.wav", 16-bit mono.
#include <filesystem>
#include <string>
#include <vector>

namespace assetgen::audio {

constexpr int kEffectSampleRate = 44100;

struct EffectReport {
    std::string file; // "jump3.wav"
    double seconds = 0.0;
    double peakDb = 0.0;     // after levelling
    double loudnessDb = 0.0; // after levelling
};

// Reads the presets file and writes the wavs into output; returns what was written.
std::vector<EffectReport> generateEffects(const std::filesystem::path& presets,
                                          const std::filesystem::path& output);

} // namespace assetgen::audio
