#include "mix_run.h"

#include "media/common/mix_policy.h"
#include "media/sdl/sdl_audio.h"
#include "simulation.h"

#include <SDL.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <string_view>
#include <unordered_map>

namespace zindle::mixcheck {

namespace {

constexpr int kFramesPerGameFrame = SdlAudio::kSampleRate / 60; // 735
// Blocks are mixed many times faster than real time; this long without one is a mixer that has
// stopped (SDL's disk driver stops when a write fails), not a slow machine.
constexpr auto kStallPatience = std::chrono::seconds(5);

// The headless program with its sounds on a real mixer. Muted kinds still play, at volume 0,
// so that every run of a seed makes the same decisions in the mixer.
class MixedMedia : public HeadlessMedia {
public:
    MixedMedia(SdlAudio& audio, const MixRunConfig& config, MixRecording& recording)
        : audio_(audio), config_(config), recording_(recording) {}

    void setStart(std::uint64_t frame) { start_ = frame; }

    SoundHandle media_sound_from_file(const std::string& path, bool music) override {
        const SoundHandle sound = audio_.load(path, music);
        if (sound != SoundHandle::None)
            families_[handleValue(sound)] = music ? "music" : soundFamily(path);
        return sound;
    }
    ChannelHandle media_sound_channel_create(SoundHandle sound, double, int loops,
                                             const SoundTransform* transform) override {
        const std::string& family = families_[handleValue(sound)];
        recording_.starts.push_back(
            {static_cast<std::int64_t>(audio_.framesMixed() - start_), family});
        SoundTransform t = transform ? *transform : SoundTransform{};
        if (!(family == "music" ? config_.music : config_.effects))
            t.volume = 0;
        return audio_.play(sound, loops, &t);
    }
    void media_sound_channel_stop(ChannelHandle channel) override { audio_.stop(channel); }
    void media_sound_channel_set_transform(ChannelHandle channel,
                                           const SoundTransform& t) override {
        audio_.setTransform(channel, t);
    }
    bool media_sound_channel_is_complete(ChannelHandle channel) override {
        return audio_.isComplete(channel);
    }

private:
    SdlAudio& audio_;
    const MixRunConfig& config_;
    MixRecording& recording_;
    std::uint64_t start_ = 0;
    std::unordered_map<std::uint32_t, std::string> families_;
};

// Whether the recording file holds far less than the mixer has sent it: SDL's disk driver says
// nothing when a write fails (a full disk) and mixes on in real time, recording nothing.
bool recordingFellBehind(const std::string& path, std::uint64_t framesMixed) {
    constexpr std::uintmax_t kSlack = 256 << 10; // bytes: far more than the writer buffers
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return false;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    return !error && framesMixed * 4 > size + kSlack;
}

} // namespace

MixRecording recordMix(const MixRunConfig& config) {
    // The disk driver writes each block as soon as it is mixed, with no real-time wait.
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", config.recordTo.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);

    MixRecording recording;
    SdlAudio audio;
    MixedMedia* media = nullptr;
    std::mutex mutex;
    std::condition_variable finishedSignal;
    sim::Simulation* run = nullptr; // set once the program has started
    bool finished = false;
    std::exception_ptr failure;
    std::uint64_t start = 0;
    const auto gameFrames = static_cast<std::int64_t>(config.seconds * 60);

    // On the audio thread, with the mixer locked: the block just mixed is recorded, then the
    // game runs every frame due by the end of it; the sounds those frames start begin in the
    // next block.
    audio.setMixObserver([&](std::span<const std::int16_t> sum, std::span<const std::int16_t> out) {
        std::lock_guard lock(mutex);
        if (!run || finished)
            return;
        recording.sumSamples += sum.size();
        recording.sumFullScale += countFullScale(sum.data(), sum.size());
        recording.out.add(out);
        const auto mixed = static_cast<std::int64_t>(audio.framesMixed() - start);
        try {
            while (run->frame() < gameFrames && run->frame() * kFramesPerGameFrame <= mixed)
                run->runFrame();
        } catch (...) {
            failure = std::current_exception();
        }
        if (failure || run->frame() >= gameFrames || run->closed()) {
            finished = true;
            finishedSignal.notify_all();
        }
    });

    sim::RunConfig runConfig;
    runConfig.seed = config.seed;
    runConfig.aiPlayers = config.aiPlayers;
    runConfig.dataRoot = config.dataRoot;
    runConfig.makeMedia = [&] {
        auto made = std::make_unique<MixedMedia>(audio, config, recording);
        media = made.get();
        return made;
    };
    auto simulation = std::make_unique<sim::Simulation>(runConfig);
    // The program has loaded its sounds, so the device is open. Any driver but the disk's (SDL
    // falls back to a silent one when the file cannot be opened) would run in real time and
    // record nothing.
    const char* driver = SDL_GetCurrentAudioDriver();
    const bool onDisk = driver && std::string_view(driver) == "disk";
    bool mixing = false;
    bool writeFailed = false;
    if (onDisk) {
        std::unique_lock lock(mutex);
        start = audio.framesMixed();
        media->setStart(start);
        recording.starts.clear(); // none is heard before the first recorded block
        run = simulation.get();
        std::uint64_t lastMixed = audio.framesMixed();
        auto lastProgress = std::chrono::steady_clock::now();
        while (!finished) {
            if (finishedSignal.wait_for(lock, std::chrono::milliseconds(200),
                                        [&] { return finished; }))
                break;
            const auto now = std::chrono::steady_clock::now();
            if (recordingFellBehind(config.recordTo, audio.framesMixed())) {
                writeFailed = true;
                break;
            }
            if (audio.framesMixed() != lastMixed) {
                lastMixed = audio.framesMixed();
                lastProgress = now;
            } else if (now - lastProgress > kStallPatience) {
                break;
            }
        }
        mixing = finished;
        finished = true;
    }
    // The mixer stops calling back before the program is taken down, and the program's media
    // layer goes before what it refers to.
    audio.shutdown();
    simulation.reset();
    HeadlessMedia::install();
    if (!onDisk)
        throw std::runtime_error("SDL's disk audio driver could not write " + config.recordTo);
    if (writeFailed)
        throw std::runtime_error("writing " + config.recordTo + " failed");
    if (!mixing)
        throw std::runtime_error("the mixer stopped mixing");
    if (failure)
        std::rethrow_exception(failure);
    return recording;
}

} // namespace zindle::mixcheck
