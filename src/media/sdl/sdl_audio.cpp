// The SDL backend's sounds: loading effects and music, starting, stopping and panning them on
// the mixer, and telling when each started sound has ended.
#include "media/sdl/sdl_audio.h"

#include "framework/untrusted_text.h"
#include "media/common/asset_file.h"
#include "media/common/sound_format.h"
#include "media/common/sound_start.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdio>
#include <iostream>

namespace zindle {

namespace {
constexpr int kBufferFrames = 1024; // sample frames per mixer callback: about 23 ms
// The voice rules' clock is the sound mixed, so that starts that would begin in the same block
// always join.
constexpr int kEvictFadeMs = static_cast<int>(kEvictFadeSeconds * 1000 + 0.5);
// A loop count this large means "forever" (the music passes 1 000 000); the mixer is given its
// own forever rather than a count it might overflow.
constexpr int kForeverLoops = 1'000'000;
// Effects are decoded whole; these bound what one may cost. Every effect of the game lasts
// about a second.
constexpr double kMaxEffectSeconds = 10; // s
constexpr auto kMaxEffectDecodedBytes = static_cast<Uint32>(
    kMaxEffectSeconds * SdlAudio::kSampleRate * SdlAudio::kOutputChannels * 2); // bytes

// Ends counted per mixer channel. The mixer reports an end from its audio thread (or from a
// halt on ours), so the callback only counts; everything else happens on the event thread,
// which compares these counts with the plays it started.
std::array<std::atomic<std::uint32_t>, SdlAudio::kMixerChannels> gEnds;

void onChannelFinished(int channel) {
    if (channel >= 0 && channel < SdlAudio::kMixerChannels)
        gEnds[static_cast<std::size_t>(channel)].fetch_add(1, std::memory_order_release);
}

} // namespace

SoundTransform clampTransform(const SoundTransform& transform) {
    SoundTransform out;
    out.volume = std::isnan(transform.volume) ? 0 : std::clamp(transform.volume, 0.0, 1.0);
    out.pan = std::isnan(transform.pan) ? 0 : std::clamp(transform.pan, -1.0, 1.0);
    return out;
}

std::pair<std::uint8_t, std::uint8_t> panLevels(double pan) {
    const double left = std::min(1.0, 1.0 - pan);
    const double right = std::min(1.0, 1.0 + pan);
    return {static_cast<std::uint8_t>(std::lround(255 * left)),
            static_cast<std::uint8_t>(std::lround(255 * right))};
}

void SdlAudio::ChunkFree::operator()(Mix_Chunk* chunk) const {
    Mix_FreeChunk(chunk);
}

void SdlAudio::MusicFree::operator()(Mix_Music* music) const {
    Mix_FreeMusic(music);
}

SdlAudio::SdlAudio()
    : policy_(kVoicesPerFamily, static_cast<std::uint64_t>(kNoStackSeconds * kSampleRate)) {}

SdlAudio::~SdlAudio() {
    shutdown();
}

bool SdlAudio::ensureOpen() {
    if (state_ == State::Closed)
        state_ = openDevice() ? State::Open : State::Failed;
    return state_ == State::Open;
}

bool SdlAudio::openDevice() {
    auto tryOpen = [] {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
            return false;
        if (Mix_OpenAudio(kSampleRate, MIX_DEFAULT_FORMAT, kOutputChannels, kBufferFrames) == 0)
            return true;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    };
    if (!tryOpen()) {
        // No sound card (a server, a container): the dummy driver consumes the mix in real time,
        // so sounds still load and channels still end, and the game plays on silently.
        const std::string why = SDL_GetError();
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
        const bool opened = tryOpen();
        SDL_ResetHint(SDL_HINT_AUDIODRIVER);
        if (!opened)
            return false;
        // SDL's reason may repeat SDL_AUDIODRIVER's value, which is the environment's.
        std::cout << "No audio device could be opened (" << quoteUntrusted(why)
                  << "); playing on without sound." << std::endl;
    }
    Mix_Init(MIX_INIT_MP3 | MIX_INIT_OGG);
    Mix_AllocateChannels(kMixerChannels);
    for (auto& ends : gEnds)
        ends.store(0);
    starts_.assign(kMixerChannels, 0);
    startOrder_.assign(kMixerChannels, 0);
    Mix_ChannelFinished(&onChannelFinished);
    limiter_ = std::make_unique<Limiter>(kSampleRate, kOutputChannels, kLimiterCeiling);
    framesMixed_.store(0);
    Mix_SetPostMix(&SdlAudio::postMix, this);
    return true;
}

void SdlAudio::postMix(void* self, std::uint8_t* stream, int bytes) {
    // The device was opened for 16-bit samples; the mixer hands over whole frames.
    static_cast<SdlAudio*>(self)->mixed(reinterpret_cast<std::int16_t*>(stream),
                                        static_cast<std::size_t>(bytes) / sizeof(std::int16_t));
}

void SdlAudio::mixed(std::int16_t* samples, std::size_t count) {
    if (observer_)
        sumCopy_.assign(samples, samples + count);
    limiter_->process(samples, count);
    framesMixed_.fetch_add(count / kOutputChannels, std::memory_order_release);
    if (observer_)
        observer_(sumCopy_, std::span<const std::int16_t>(samples, count));
}

void SdlAudio::shutdown() {
    if (state_ == State::Open) {
        Mix_SetPostMix(nullptr, nullptr);
        Mix_HaltChannel(-1);
        Mix_HaltMusic();
        Mix_ChannelFinished(nullptr);
        sounds_.clear();
        Mix_CloseAudio();
        Mix_Quit();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    sounds_.clear();
    state_ = State::ShutDown;
}

SoundHandle SdlAudio::load(const std::string& path, bool music) {
    if (!ensureOpen()) {
        if (!music)
            reportAssetProblem(path, "no audio output could be opened to play it on");
        return SoundHandle::None;
    }
    Sound sound;
    if (music)
        sound.music = loadMusic(path);
    else
        sound.chunk = loadEffect(path);
    if (!sound.music && !sound.chunk)
        return SoundHandle::None;
    const auto id = nextSound_++;
    if (!music)
        families_.emplace(id, soundFamily(path));
    sounds_.emplace(id, std::move(sound));
    return static_cast<SoundHandle>(id);
}

std::unique_ptr<_Mix_Music, SdlAudio::MusicFree> SdlAudio::loadMusic(const std::string& path) {
    // Music streams from its file for as long as it plays, so the file is only checked and
    // opened here; the mixer reads the very descriptor that was checked.
    const int fd = openAsset(path, kMaxMusicFileBytes);
    if (fd < 0)
        return nullptr;
    // The mixer is told the format rather than left to sniff it, so that only the MP3 decoder
    // ever sees the file; anything else is refused here by its first bytes.
    std::array<std::uint8_t, kSoundSignatureBytes> start{};
    const ssize_t got = pread(fd, start.data(), start.size(), 0);
    const auto problem = musicFormatProblem(
        std::span(start.data(), static_cast<std::size_t>(std::max<ssize_t>(got, 0))),
        Extent::FileStart);
    if (problem) {
        reportAssetProblem(path, *problem);
        close(fd);
        return nullptr;
    }
    FILE* file = fdopen(fd, "rb");
    if (file == nullptr) {
        close(fd);
        return nullptr;
    }
    SDL_RWops* source = SDL_RWFromFP(file, SDL_TRUE);
    if (source == nullptr) {
        std::fclose(file);
        return nullptr;
    }
    return std::unique_ptr<_Mix_Music, MusicFree>(Mix_LoadMUSType_RW(source, MUS_MP3, 1));
}

std::unique_ptr<Mix_Chunk, SdlAudio::ChunkFree> SdlAudio::loadEffect(const std::string& path) {
    // Every refusal of an effect is said here, in one line naming the file: the game leaves
    // the variant out without a word of its own.
    const auto bytes = readAsset(path, kMaxEffectFileBytes, Missing::Reported);
    if (!bytes || bytes->size() > static_cast<std::size_t>(INT_MAX))
        return nullptr;
    // The mixer's loader takes any format it knows and renders it whole before its size can be
    // checked: a few bytes of MIDI or VOC can become gigabytes. Only a WAV reaches it.
    if (const auto problem = effectFormatProblem(*bytes)) {
        reportAssetProblem(path, *problem);
        return nullptr;
    }
    const int size = static_cast<int>(bytes->size());
    // An effect is decoded whole at the mixer's rate, so a small file that claims a very low
    // sample rate would become a huge sound. Its length is read first, by opening it as a
    // stream, which decodes nothing.
    const double seconds = [&] {
        std::unique_ptr<_Mix_Music, MusicFree> probe(
            Mix_LoadMUSType_RW(SDL_RWFromConstMem(bytes->data(), size), MUS_WAV, 1));
        return probe ? Mix_MusicDuration(probe.get()) : -1.0;
    }();
    if (seconds > kMaxEffectSeconds) {
        reportAssetProblem(path, std::to_string(std::lround(seconds)) + " s long, over the " +
                                     std::to_string(std::lround(kMaxEffectSeconds)) +
                                     " s a sound effect may last");
        return nullptr;
    }
    std::unique_ptr<Mix_Chunk, ChunkFree> chunk(
        Mix_LoadWAV_RW(SDL_RWFromConstMem(bytes->data(), size), 1));
    if (!chunk) {
        reportAssetProblem(path, std::string("a WAV file the mixer cannot decode (") +
                                     SDL_GetError() + ")");
        return nullptr;
    }
    // The decoded size is bounded again, for a format whose length could not be told above.
    if (chunk->alen > kMaxEffectDecodedBytes) {
        reportAssetProblem(path, std::to_string(chunk->alen) + " bytes decoded, over the " +
                                     std::to_string(kMaxEffectDecodedBytes) +
                                     " a sound effect may take");
        return nullptr;
    }
    return chunk;
}

int SdlAudio::freeMixerChannel() {
    const int free = Mix_GroupAvailable(-1);
    if (free >= 0)
        return free;
    // Every channel busy: the oldest sound gives way, as a new effect matters more to the
    // player than the tail of an old one. Age is counted in plays, not in the mixer's
    // milliseconds, which cannot tell apart the sounds of one burst. The halt reports the old
    // sound's end.
    const auto oldest = std::min_element(startOrder_.begin(), startOrder_.end());
    const int mixer = static_cast<int>(oldest - startOrder_.begin());
    Mix_HaltChannel(mixer);
    return mixer;
}

namespace {
int mixerVolume(double volume) {
    return static_cast<int>(std::lround(volume * kVoiceHeadroom * MIX_MAX_VOLUME));
}
} // namespace

void SdlAudio::apply(int mixer, const SoundTransform& transform) {
    const auto t = clampTransform(transform);
    if (mixer == kMusic) {
        Mix_VolumeMusic(mixerVolume(t.volume));
        return;
    }
    Mix_Volume(mixer, mixerVolume(t.volume));
    // The pan effect stays on a mixer channel until it is set again, so it is set on every
    // play, centre included.
    const auto [left, right] = panLevels(t.pan);
    Mix_SetPanning(mixer, left, right);
}

ChannelHandle SdlAudio::play(SoundHandle handle, int loops, const SoundTransform* transform,
                             double startSeconds) {
    if (state_ != State::Open)
        return ChannelHandle::None;
    auto found = sounds_.find(handleValue(handle));
    if (found == sounds_.end())
        return ChannelHandle::None;
    const Sound& sound = found->second;
    const SoundTransform t = transform ? *transform : SoundTransform{};
    const int repeats = loops >= kForeverLoops ? -1 : std::max(loops, 0);

    Channel channel{kMusic, 0};
    if (sound.music) {
        // Mix_PlayMusic counts plays, not repeats; -1 is forever.
        const int plays = repeats < 0 ? -1 : repeats + 1;
        apply(kMusic, t);
        if (Mix_PlayMusic(sound.music.get(), plays) != 0)
            return ChannelHandle::None;
        // A track that cannot seek plays from its beginning, which is only a little wrong.
        const double at = positionInLoop(startSeconds, Mix_MusicDuration(sound.music.get()));
        if (at > 0)
            Mix_SetMusicPosition(at);
        channel.playNumber = ++musicPlays_;
    } else {
        return playEffect(handle, sound, repeats, t);
    }
    const auto id = nextChannel_++;
    channels_.emplace(id, channel);
    return static_cast<ChannelHandle>(id);
}

ChannelHandle SdlAudio::playEffect(SoundHandle handle, const Sound& sound, int repeats,
                                   const SoundTransform& t) {
    const std::uint32_t soundId = handleValue(handle);
    const std::string& family = families_[soundId];
    const std::uint64_t now = framesMixed();
    policy_.forgetEnded([&](std::uint32_t voice) {
        auto found = channels_.find(voice);
        return found == channels_.end() || ended(found->second);
    });
    const auto admission = policy_.admit(soundId, family, clampTransform(t).volume, now);
    if (admission.join) {
        // The caller still gets a channel of its own, which completes with the voice it joined.
        Channel joined = channels_.at(*admission.join);
        joined.joined = true;
        // The voice keeps its place in the picture; only its level rises to the louder start.
        Mix_Volume(joined.mixer, mixerVolume(admission.joinVolume));
        const auto id = nextChannel_++;
        channels_.emplace(id, joined);
        return static_cast<ChannelHandle>(id);
    }
    for (const auto voice : admission.evict) {
        const Channel& old = channels_.at(voice);
        Mix_FadeOutChannel(old.mixer, kEvictFadeMs);
    }

    Channel channel{kMusic, 0};
    const int mixer = freeMixerChannel();
    if (mixer < 0)
        return ChannelHandle::None;
    apply(mixer, t);
    if (Mix_PlayChannel(mixer, sound.chunk.get(), repeats) < 0)
        return ChannelHandle::None;
    channel.mixer = mixer;
    channel.playNumber = ++starts_[static_cast<std::size_t>(mixer)];
    startOrder_[static_cast<std::size_t>(mixer)] = ++effectPlays_;
    const auto id = nextChannel_++;
    channels_.emplace(id, channel);
    policy_.started(id, soundId, family, clampTransform(t).volume, now);
    return static_cast<ChannelHandle>(id);
}

bool SdlAudio::isComplete(ChannelHandle handle) {
    auto found = channels_.find(handleValue(handle));
    if (found == channels_.end())
        return true;
    // Forgotten once reported: an unknown handle is a complete one, and the table stays small.
    if (ended(found->second)) {
        channels_.erase(found);
        return true;
    }
    return false;
}

bool SdlAudio::ended(const Channel& c) const {
    if (c.stopped || state_ != State::Open)
        return true;
    if (c.mixer == kMusic)
        return c.playNumber != musicPlays_ || Mix_PlayingMusic() == 0;
    const auto m = static_cast<std::size_t>(c.mixer);
    if (gEnds[m].load(std::memory_order_acquire) >= c.playNumber)
        return true;
    // The latest play on a channel that is idle has ended even if no end was reported (the
    // mixer reports none for an empty chunk).
    return starts_[m] == c.playNumber && Mix_Playing(c.mixer) == 0;
}

int SdlAudio::mixerChannelOf(ChannelHandle handle) const {
    auto found = channels_.find(handleValue(handle));
    if (found == channels_.end() || ended(found->second))
        return -2;
    return found->second.mixer;
}

void SdlAudio::stop(ChannelHandle handle) {
    auto found = channels_.find(handleValue(handle));
    if (found == channels_.end())
        return;
    if (!ended(found->second) && !found->second.joined) {
        if (found->second.mixer == kMusic)
            Mix_HaltMusic();
        else
            Mix_HaltChannel(found->second.mixer);
    }
    found->second.stopped = true;
}

void SdlAudio::setTransform(ChannelHandle handle, const SoundTransform& transform) {
    auto found = channels_.find(handleValue(handle));
    if (found == channels_.end() || ended(found->second))
        return;
    apply(found->second.mixer, transform);
}

} // namespace zindle
