#pragma once
// MP3 encoding through libmp3lame, with the LAME/Info tag in the first frame: it records the
// encoder delay and the padding, so that decoders that read it (mpg123 does) trim both and a
// looping player hears exactly the samples that were encoded.
#include <cstdint>
#include <filesystem>
#include <vector>

namespace assetgen::audio {

struct Mp3Settings {
    int sampleRate = 44100;
    int channels = 2;
    int kilobitsPerSecond = 128; // constant bit rate
};

struct Mp3Result {
    int encoderDelay = 0;   // samples the decoder must drop at the start
    int encoderPadding = 0; // samples it must drop at the end
};

// Encodes interleaved 16-bit samples and writes the file; throws std::runtime_error on an
// encoder failure or a file that cannot be written.
Mp3Result writeMp3(const std::filesystem::path& path, const std::vector<std::int16_t>& samples,
                   const Mp3Settings& settings);

} // namespace assetgen::audio
