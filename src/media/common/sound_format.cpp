// Sound files told apart by their signatures, so that each decoder gets only the format it is
// meant for; shared by the desktop's, the browser's and the headless backends.
#include "media/common/sound_format.h"

#include <algorithm>
#include <cstring>

namespace zindle {

namespace {
constexpr std::size_t kRiffHeaderBytes = 12; // "RIFF", size, form type
constexpr std::size_t kChunkHeaderBytes = 8; // id, little-endian size
constexpr std::size_t kWavFmtMinBytes = 16;  // the PCM format block
constexpr std::size_t kMp3FrameHeaderBytes = 4;
constexpr std::size_t kId3FooterBytes = 10;        // present when flag 0x10 is set
constexpr std::size_t kMp3SyncSearchBytes = 65536; // how far past a tag a first frame may lie

bool hasAt(std::span<const std::uint8_t> bytes, std::size_t at, const char* magic,
           std::size_t length) {
    return bytes.size() >= at + length && std::memcmp(bytes.data() + at, magic, length) == 0;
}

bool hasAt(std::span<const std::uint8_t> bytes, std::size_t at, const char* magic) {
    return hasAt(bytes, at, magic, std::strlen(magic));
}

std::uint32_t le32(std::span<const std::uint8_t> b, std::size_t at) {
    return std::uint32_t{b[at]} | std::uint32_t{b[at + 1]} << 8 | std::uint32_t{b[at + 2]} << 16 |
           std::uint32_t{b[at + 3]} << 24;
}

std::uint16_t le16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

bool isWavSignature(std::span<const std::uint8_t> b) {
    return hasAt(b, 0, "RIFF") && hasAt(b, 8, "WAVE");
}

// A format block with some channels and some rate comes before the data chunk, and every chunk
// before the data lies whole inside the file.
bool wavHeaderIsWhole(std::span<const std::uint8_t> b) {
    bool format = false;
    std::size_t at = kRiffHeaderBytes;
    while (at + kChunkHeaderBytes <= b.size()) {
        const std::size_t size = le32(b, at + 4);
        const std::size_t body = at + kChunkHeaderBytes;
        if (hasAt(b, at, "data"))
            return format; // the samples may run short; a mixer plays what is there
        if (size > b.size() - body)
            return false;
        if (hasAt(b, at, "fmt ")) {
            const auto channels = size >= kWavFmtMinBytes ? le16(b, body + 2) : 0;
            const auto rate = size >= kWavFmtMinBytes ? le32(b, body + 4) : 0;
            format = channels > 0 && rate > 0;
        }
        at = body + size + (size & 1); // chunks are padded to an even length
    }
    return false;
}

// An MPEG audio frame header: sync, and no reserved version, layer, bit rate or sample rate.
bool mp3FrameAt(std::span<const std::uint8_t> b, std::size_t at) {
    if (b.size() < at + kMp3FrameHeaderBytes || b[at] != 0xFF || (b[at + 1] & 0xE0) != 0xE0)
        return false;
    const int version = (b[at + 1] >> 3) & 3;
    const int layer = (b[at + 1] >> 1) & 3;
    const int bitrate = b[at + 2] >> 4;
    const int rate = (b[at + 2] >> 2) & 3;
    return version != 1 && layer != 0 && bitrate != 15 && rate != 3;
}

// The bytes an ID3v2 tag at the start takes, header and footer included; nullopt without a
// sound tag header ("ID3", a version below 0xFF, and a size of seven bits a byte).
std::optional<std::size_t> id3TagBytes(std::span<const std::uint8_t> b) {
    if (!hasAt(b, 0, "ID3") || b.size() < kMusicSignatureBytes || b[3] == 0xFF || b[4] == 0xFF)
        return std::nullopt;
    std::size_t size = 0;
    for (std::size_t i = 6; i < kMusicSignatureBytes; ++i) {
        if (b[i] & 0x80)
            return std::nullopt;
        size = size << 7 | b[i];
    }
    return kMusicSignatureBytes + size + ((b[5] & 0x10) ? kId3FooterBytes : 0);
}

bool mp3FrameSoonAfter(std::span<const std::uint8_t> b, std::size_t first) {
    const std::size_t last = std::min(b.size(), first + kMp3SyncSearchBytes);
    for (std::size_t at = first; at < last; ++at) {
        if (mp3FrameAt(b, at))
            return true;
    }
    return false;
}
} // namespace

std::string soundFormatName(std::span<const std::uint8_t> b) {
    if (b.empty())
        return "empty";
    if (isWavSignature(b))
        return "a WAV file";
    if (hasAt(b, 0, "RIFF") && hasAt(b, 8, "RMID"))
        return "a MIDI file";
    if (hasAt(b, 0, "RIFF"))
        return "a RIFF file that is not a WAV";
    if (hasAt(b, 0, "MThd"))
        return "a MIDI file";
    if (hasAt(b, 0, "Creative Voice File\x1A"))
        return "a VOC file";
    if (hasAt(b, 0, "OggS"))
        return "an Ogg file";
    if (hasAt(b, 0, "fLaC"))
        return "a FLAC file";
    if (hasAt(b, 0, "FORM") && (hasAt(b, 8, "AIFF") || hasAt(b, 8, "AIFC")))
        return "an AIFF file";
    if (hasAt(b, 0, "ID3") || mp3FrameAt(b, 0))
        return "an MP3 file";
    return "";
}

namespace {
std::string notA(std::span<const std::uint8_t> bytes, const char* wanted) {
    const std::string name = soundFormatName(bytes);
    return (name.empty() ? "" : name + ", ") + "not " + wanted;
}
} // namespace

std::optional<std::string> effectFormatProblem(std::span<const std::uint8_t> bytes) {
    if (!isWavSignature(bytes))
        return notA(bytes, "a WAV sound");
    if (!wavHeaderIsWhole(bytes))
        return "a WAV file whose header is cut short or broken";
    return std::nullopt;
}

std::optional<std::string> musicFormatProblem(std::span<const std::uint8_t> bytes, Extent extent) {
    if (mp3FrameAt(bytes, 0))
        return std::nullopt;
    if (const auto tag = id3TagBytes(bytes)) {
        if (extent == Extent::FileStart || mp3FrameSoonAfter(bytes, *tag))
            return std::nullopt;
        return "an MP3 tag with no sound after it";
    }
    if (hasAt(bytes, 0, "ID3"))
        return "an MP3 file whose tag is broken";
    return notA(bytes, "an MP3 sound");
}

} // namespace zindle
