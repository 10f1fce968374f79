#pragma once
// Sounds on SDL2_mixer: effects decoded whole into chunks and played on the mixer's channels,
// music streamed on its one music stream. Every started sound is a channel handle of its own, so
// a mixer channel reused by a later sound never makes an earlier handle report the later
// sound's state. Effects follow the shared voice rules, every voice keeps headroom and the sum
// passes a limiter, so that a crowd of effects neither stacks up nor clips.
#include "framework/media.h"
#include "media/common/mix_policy.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

struct Mix_Chunk;
struct _Mix_Music;

namespace zindle {

// Volume clamped to [0, 1] and pan to [-1, 1]; NaN counts as 0.
SoundTransform clampTransform(const SoundTransform& transform);
// SDL_mixer's left and right levels (0 to 255) for a pan in [-1, 1]: the centre plays both
// sides at full level, and a pan towards one side fades the other.
std::pair<std::uint8_t, std::uint8_t> panLevels(double pan);

class SdlAudio {
public:
    static constexpr int kMixerChannels = 32;
    static constexpr int kSampleRate = 44100; // Hz
    static constexpr int kOutputChannels = 2; // stereo, for the pan

    SdlAudio();
    SdlAudio(const SdlAudio&) = delete;
    SdlAudio& operator=(const SdlAudio&) = delete;
    ~SdlAudio();

    // None when the file cannot be loaded or no audio output can be had at all.
    SoundHandle load(const std::string& path, bool music);
    // None for an unknown sound or when the mixer cannot start it. Music starts startSeconds
    // into its loop; effects always start at their beginning.
    ChannelHandle play(SoundHandle sound, int loops, const SoundTransform* transform,
                       double startSeconds = 0);
    void stop(ChannelHandle channel);
    void setTransform(ChannelHandle channel, const SoundTransform& transform);
    // True once the sound has ended or was stopped; the handle is forgotten from then on.
    bool isComplete(ChannelHandle channel);
    // -1 for music, -2 for an unknown or finished channel.
    int mixerChannelOf(ChannelHandle channel) const;
    // Halts everything, frees every sound and closes the device for good; from then on loads
    // fail and every channel reports complete.
    void shutdown();

    // --- For measurements ----------------------------------------------------------------------
    // Called on the audio thread after every mixed block, with the block as the mixer summed it
    // and as it leaves the limiter (interleaved 16-bit stereo), while the mixer is locked: the
    // observer may start and stop sounds, which then begin in the next block. Set it before the
    // first load.
    using MixObserver =
        std::function<void(std::span<const std::int16_t> sum, std::span<const std::int16_t> out)>;
    void setMixObserver(MixObserver observer) { observer_ = std::move(observer); }
    // Sample frames mixed since the device opened.
    std::uint64_t framesMixed() const { return framesMixed_.load(std::memory_order_acquire); }

private:
    struct ChunkFree {
        void operator()(Mix_Chunk* chunk) const;
    };
    struct MusicFree {
        void operator()(_Mix_Music* music) const;
    };
    struct Sound {
        std::unique_ptr<Mix_Chunk, ChunkFree> chunk;
        std::unique_ptr<_Mix_Music, MusicFree> music;
    };
    struct Channel {
        int mixer;                // mixer channel, or kMusic
        std::uint32_t playNumber; // which play on that mixer channel this is, from 1
        bool stopped = false;
        // A duplicate start that joined a running voice: it ends with that voice, and stopping
        // it leaves the voice to its own handle.
        bool joined = false;
    };
    static constexpr int kMusic = -1;

    // The file at path through the one asset reader; null (reported) when refused.
    static std::unique_ptr<Mix_Chunk, ChunkFree> loadEffect(const std::string& path);
    static std::unique_ptr<_Mix_Music, MusicFree> loadMusic(const std::string& path);
    static void postMix(void* self, std::uint8_t* stream, int bytes);
    void mixed(std::int16_t* samples, std::size_t count);
    ChannelHandle playEffect(SoundHandle handle, const Sound& sound, int repeats,
                             const SoundTransform& t);

    bool ended(const Channel& channel) const;
    bool ensureOpen();
    bool openDevice();
    int freeMixerChannel();
    void apply(int mixer, const SoundTransform& transform);

    enum class State { Closed, Open, Failed, ShutDown };
    State state_ = State::Closed;
    std::unordered_map<std::uint32_t, Sound> sounds_;
    std::unordered_map<std::uint32_t, Channel> channels_;
    std::uint32_t nextSound_ = 1;
    std::uint32_t nextChannel_ = 1;
    // Plays started on each mixer channel; the audio thread counts the ends (see .cpp).
    std::vector<std::uint32_t> starts_;
    std::uint32_t musicPlays_ = 0;
    // When each mixer channel last started, counted in effect plays.
    std::vector<std::uint64_t> startOrder_;
    std::uint64_t effectPlays_ = 0;
    // The family of each loaded effect, for the voice rules.
    std::unordered_map<std::uint32_t, std::string> families_;
    VoicePolicy policy_;
    std::unique_ptr<Limiter> limiter_; // used only on the audio thread once the device is open
    std::atomic<std::uint64_t> framesMixed_{0};
    MixObserver observer_;
    std::vector<std::int16_t> sumCopy_; // the block before the limiter, for the observer
};

} // namespace zindle
