#pragma once
// The sounds: the 35 effects and the two music tracks.
#include <filesystem>

namespace assetgen {
// Writes the effect wavs and the music mp3s into output from the presets and scores under source.
void generateAudio(const std::filesystem::path& source, const std::filesystem::path& output);
} // namespace assetgen
