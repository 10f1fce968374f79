// Sounds and channels of the headless layer. Nothing is played; files are checked the way a
// mixer would sniff them, and every channel is recorded with what the mixer would have been told.
#include "media/headless/headless_media.h"

#include "media/common/asset_file.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zindle {

namespace {
constexpr std::size_t kWavHeaderBytes = 12;        // "RIFF", size, "WAVE"
constexpr std::size_t kChunkHeaderBytes = 8;       // id, little-endian size
constexpr std::size_t kWavFmtMinBytes = 16;        // the PCM format block
constexpr std::size_t kId3HeaderBytes = 10;        // "ID3", version, flags, syncsafe size
constexpr std::size_t kMp3SyncSearchBytes = 65536; // how far past a tag a first frame may lie

bool startsWith(std::span<const std::uint8_t> bytes, std::size_t at, const char* magic) {
    const std::size_t n = std::strlen(magic);
    return bytes.size() >= at + n && std::memcmp(bytes.data() + at, magic, n) == 0;
}

std::uint32_t le32(std::span<const std::uint8_t> b, std::size_t at) {
    return std::uint32_t{b[at]} | std::uint32_t{b[at + 1]} << 8 | std::uint32_t{b[at + 2]} << 16 |
           std::uint32_t{b[at + 3]} << 24;
}

std::uint16_t le16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

// A RIFF/WAVE file with a whole format block (some channels, some rate) and a data chunk.
bool looksLikeWav(std::span<const std::uint8_t> b) {
    if (!startsWith(b, 0, "RIFF") || !startsWith(b, 8, "WAVE"))
        return false;
    bool format = false;
    std::size_t at = kWavHeaderBytes;
    while (at + kChunkHeaderBytes <= b.size()) {
        const std::size_t size = le32(b, at + 4);
        const std::size_t body = at + kChunkHeaderBytes;
        if (startsWith(b, at, "data"))
            return format; // the samples may run short; a mixer plays what is there
        if (size > b.size() - body)
            return false;
        if (startsWith(b, at, "fmt ")) {
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
    if (at + 4 > b.size() || b[at] != 0xFF || (b[at + 1] & 0xE0) != 0xE0)
        return false;
    const int version = (b[at + 1] >> 3) & 3;
    const int layer = (b[at + 1] >> 1) & 3;
    const int bitrate = b[at + 2] >> 4;
    const int rate = (b[at + 2] >> 2) & 3;
    return version != 1 && layer != 0 && bitrate != 15 && rate != 3;
}

// An MP3: a frame at the start, or an ID3v2 tag followed (soon) by a frame.
bool looksLikeMp3(std::span<const std::uint8_t> b) {
    if (mp3FrameAt(b, 0))
        return true;
    if (!startsWith(b, 0, "ID3") || b.size() < kId3HeaderBytes)
        return false;
    std::size_t tag = 0;
    for (std::size_t i = 6; i < kId3HeaderBytes; ++i) {
        if (b[i] & 0x80)
            return false; // a tag size is syncsafe: seven bits a byte
        tag = tag << 7 | b[i];
    }
    std::size_t first = kId3HeaderBytes + tag + ((b[5] & 0x10) ? kId3HeaderBytes : 0);
    const std::size_t last = std::min(b.size(), first + kMp3SyncSearchBytes);
    for (; first < last; ++first) {
        if (mp3FrameAt(b, first))
            return true;
    }
    return false;
}

bool looksLikeAudio(std::span<const std::uint8_t> b) {
    return looksLikeWav(b) || looksLikeMp3(b) || startsWith(b, 0, "OggS");
}

// NaN reaches no mixer: it becomes the neutral value.
double clampOr(double v, double lo, double hi, double neutral) {
    return std::isnan(v) ? neutral : std::clamp(v, lo, hi);
}
} // namespace

SoundHandle HeadlessMedia::media_sound_from_file(const std::string& path, bool playAsMusic) {
    const auto bytes = readAsset(path, playAsMusic ? kMaxMusicFileBytes : kMaxEffectFileBytes);
    if (!bytes || !looksLikeAudio(*bytes))
        return SoundHandle::None;
    const auto handle = nextSound_++;
    sounds_[handle] = LoadedSound{path, playAsMusic};
    return static_cast<SoundHandle>(handle);
}

ChannelHandle HeadlessMedia::media_sound_channel_create(SoundHandle sound, double /*startTime*/,
                                                        int loops,
                                                        const SoundTransform* transform) {
    auto found = sounds_.find(handleValue(sound));
    if (found == sounds_.end())
        return ChannelHandle::None;
    const SoundTransform t = transform != nullptr ? *transform : SoundTransform{};
    const auto handle = static_cast<ChannelHandle>(nextChannel_++);
    channels_.push_back(ChannelRecord{handle, found->second.path, found->second.music, loops,
                                      clampOr(t.volume, 0, 1, 0), clampOr(t.pan, -1, 1, 0)});
    live_[handleValue(handle)] = LiveChannel{loops, channels_.size() - 1, true};
    return handle;
}

HeadlessMedia::ChannelRecord* HeadlessMedia::recordOf(ChannelHandle channel) {
    auto found = live_.find(handleValue(channel));
    if (found == live_.end() || !found->second.recordValid)
        return nullptr;
    return &channels_[found->second.record];
}

void HeadlessMedia::endChannel(ChannelHandle channel, bool stopped) {
    if (auto* record = recordOf(channel)) {
        record->complete = true;
        record->stopped = record->stopped || stopped;
    }
    live_.erase(handleValue(channel));
}

void HeadlessMedia::media_sound_channel_stop(ChannelHandle channel) {
    endChannel(channel, true);
}

void HeadlessMedia::media_sound_channel_set_transform(ChannelHandle channel,
                                                      const SoundTransform& transform) {
    if (auto* record = recordOf(channel)) {
        record->volume = clampOr(transform.volume, 0, 1, 0);
        record->pan = clampOr(transform.pan, -1, 1, 0);
    }
}

bool HeadlessMedia::media_sound_channel_is_complete(ChannelHandle channel) {
    // A channel the mixer does not know (ended, or never started) is not playing.
    return !live_.contains(handleValue(channel));
}

void HeadlessMedia::completeChannel(ChannelHandle channel) {
    endChannel(channel, false);
}

void HeadlessMedia::completeAllEffects() {
    std::vector<ChannelHandle> ending;
    for (const auto& [handle, live] : live_) {
        if (live.loops == 0)
            ending.push_back(static_cast<ChannelHandle>(handle));
    }
    for (auto handle : ending)
        endChannel(handle, false);
}

void HeadlessMedia::clearChannels() {
    channels_.clear();
    for (auto& [handle, live] : live_)
        live.recordValid = false;
}

} // namespace zindle
