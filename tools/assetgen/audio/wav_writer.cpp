// Writing 16-bit PCM samples as a RIFF/WAVE file, little-endian on any host.
#include "audio/wav_writer.h"

#include <fstream>
#include <stdexcept>
#include <string>

namespace assetgen::audio {
namespace {

constexpr int kBitsPerSample = 16;
constexpr std::uint16_t kFormatPcm = 1;

void put16(std::vector<unsigned char>& out, std::uint16_t value) {
    out.push_back(static_cast<unsigned char>(value & 0xFF));
    out.push_back(static_cast<unsigned char>(value >> 8));
}

void put32(std::vector<unsigned char>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<unsigned char>((value >> shift) & 0xFF));
    }
}

void putTag(std::vector<unsigned char>& out, const char* tag) {
    out.insert(out.end(), tag, tag + 4);
}

} // namespace

void writeWav(const std::filesystem::path& path, const std::vector<std::int16_t>& samples,
              int sampleRate, int channels) {
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    const std::uint16_t blockAlign = static_cast<std::uint16_t>(channels * kBitsPerSample / 8);
    std::vector<unsigned char> bytes;
    bytes.reserve(44 + dataBytes);
    putTag(bytes, "RIFF");
    put32(bytes, 36 + dataBytes);
    putTag(bytes, "WAVE");
    putTag(bytes, "fmt ");
    put32(bytes, 16);
    put16(bytes, kFormatPcm);
    put16(bytes, static_cast<std::uint16_t>(channels));
    put32(bytes, static_cast<std::uint32_t>(sampleRate));
    put32(bytes, static_cast<std::uint32_t>(sampleRate) * blockAlign);
    put16(bytes, blockAlign);
    put16(bytes, kBitsPerSample);
    putTag(bytes, "data");
    put32(bytes, dataBytes);
    for (const std::int16_t sample : samples) {
        put16(bytes, static_cast<std::uint16_t>(sample));
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

} // namespace assetgen::audio
