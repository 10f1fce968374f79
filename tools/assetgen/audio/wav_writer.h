#pragma once
// A minimal RIFF/WAVE writer: 16-bit PCM, little-endian whatever the host.
#include <cstdint>
#include <filesystem>
#include <vector>

namespace assetgen::audio {

// Writes interleaved 16-bit samples as a canonical 44-byte-header WAVE file.
// Throws std::runtime_error when the file cannot be written.
void writeWav(const std::filesystem::path& path, const std::vector<std::int16_t>& samples,
              int sampleRate, int channels);

} // namespace assetgen::audio
