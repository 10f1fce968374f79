// Encoding with libmp3lame and writing the LAME/Info tag into the first frame.
#include "audio/mp3_writer.h"

#include <lame/lame.h>

#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

namespace assetgen::audio {
namespace {

constexpr int kQuality = 2;            // 0 best .. 9 fastest; 2 is LAME's "high quality"
constexpr int kChunkFrames = 1152 * 8; // frames handed to the encoder per call
constexpr int kFlushBytes = 7200;      // LAME's documented worst case for the flush
constexpr std::size_t kTagBytes = 4096;

struct LameCloser {
    void operator()(lame_global_flags* flags) const { lame_close(flags); }
};

void check(int status, const char* what) {
    if (status < 0) {
        throw std::runtime_error(std::string("mp3 encoder: ") + what + " failed (" +
                                 std::to_string(status) + ")");
    }
}

} // namespace

Mp3Result writeMp3(const std::filesystem::path& path, const std::vector<std::int16_t>& samples,
                   const Mp3Settings& settings) {
    std::unique_ptr<lame_global_flags, LameCloser> lame(lame_init());
    if (!lame) {
        throw std::runtime_error("mp3 encoder: lame_init failed");
    }
    lame_global_flags* gf = lame.get();
    lame_set_in_samplerate(gf, settings.sampleRate);
    lame_set_out_samplerate(gf, settings.sampleRate);
    lame_set_num_channels(gf, settings.channels);
    lame_set_mode(gf, settings.channels == 1 ? MONO : JOINT_STEREO);
    lame_set_VBR(gf, vbr_off);
    lame_set_brate(gf, settings.kilobitsPerSecond);
    lame_set_quality(gf, kQuality);
    lame_set_bWriteVbrTag(gf, 1);
    // No ID3 tags: the Info frame must be the file's first bytes for the patch below.
    lame_set_write_id3tag_automatic(gf, 0);
    check(lame_init_params(gf), "lame_init_params");

    std::vector<unsigned char> mp3;
    std::vector<unsigned char> chunk(static_cast<std::size_t>(1.25 * kChunkFrames + kFlushBytes));
    const std::size_t frames = samples.size() / static_cast<std::size_t>(settings.channels);
    for (std::size_t at = 0; at < frames; at += kChunkFrames) {
        const int count = static_cast<int>(std::min<std::size_t>(kChunkFrames, frames - at));
        // LAME does not write through its input pointer; its signature just lacks the const.
        auto* input = const_cast<short*>(samples.data() + at * settings.channels);
        const int written = settings.channels == 1
                                ? lame_encode_buffer(gf, input, input, count, chunk.data(),
                                                     static_cast<int>(chunk.size()))
                                : lame_encode_buffer_interleaved(gf, input, count, chunk.data(),
                                                                 static_cast<int>(chunk.size()));
        check(written, "lame_encode_buffer");
        mp3.insert(mp3.end(), chunk.begin(), chunk.begin() + written);
    }
    const int flushed = lame_encode_flush(gf, chunk.data(), static_cast<int>(chunk.size()));
    check(flushed, "lame_encode_flush");
    mp3.insert(mp3.end(), chunk.begin(), chunk.begin() + flushed);

    // LAME left an empty frame at the start for the tag; now that the totals are known,
    // put the real tag there.
    std::vector<unsigned char> tag(kTagBytes);
    const std::size_t tagSize = lame_get_lametag_frame(gf, tag.data(), tag.size());
    if (tagSize == 0 || tagSize > tag.size() || tagSize > mp3.size()) {
        throw std::runtime_error("mp3 encoder: no LAME tag frame");
    }
    std::copy(tag.begin(), tag.begin() + static_cast<std::ptrdiff_t>(tagSize), mp3.begin());

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(mp3.data()), static_cast<std::streamsize>(mp3.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
    return {lame_get_encoder_delay(gf), lame_get_encoder_padding(gf)};
}

} // namespace assetgen::audio
