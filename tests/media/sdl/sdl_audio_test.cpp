#include "sdl_test_support.h"

#include "media/sdl/sdl_audio.h"
#include "support/hostile_sounds.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>

namespace zindle {
namespace {

using test::freshMedia;
using test::waitUntil;

constexpr double kShort = 0.05; // s: length of the test effect
constexpr double kPatience = 3; // s: longest a short sound may take to be reported ended

class SdlAudioTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::writeWav(dir.file("blip.wav"), kShort);
        test::writeMp3(dir.file("tune.mp3"), 0.2);
        media = &freshMedia();
    }
    bool completes(ChannelHandle channel) {
        return waitUntil([&] { return media->media_sound_channel_is_complete(channel); },
                         kPatience);
    }

    test::ScratchDir dir;
    SdlMedia* media = nullptr;
};

TEST_F(SdlAudioTest, EffectPlaysAndCompletes) {
    const SoundHandle blip = media->media_sound_from_file(dir.file("blip.wav"), false);
    ASSERT_NE(blip, SoundHandle::None);
    const ChannelHandle channel = media->media_sound_channel_create(blip, 0, 0, nullptr);
    ASSERT_NE(channel, ChannelHandle::None);
    EXPECT_FALSE(media->media_sound_channel_is_complete(channel));
    EXPECT_GE(media->mixerChannelOf(channel), 0);
    EXPECT_TRUE(completes(channel));
    // Complete stays complete.
    EXPECT_TRUE(media->media_sound_channel_is_complete(channel));
}

TEST_F(SdlAudioTest, Mp3MusicStreamsPlaysAndCompletes) {
    const SoundHandle tune = media->media_sound_from_file(dir.file("tune.mp3"), true);
    ASSERT_NE(tune, SoundHandle::None);
    const ChannelHandle channel = media->media_sound_channel_create(tune, 0, 0, nullptr);
    ASSERT_NE(channel, ChannelHandle::None);
    EXPECT_EQ(media->mixerChannelOf(channel), -1);
    EXPECT_FALSE(media->media_sound_channel_is_complete(channel));
    EXPECT_TRUE(completes(channel));
}

// The mixer consumes sound no faster than real time, so a 0.2 s sound repeated once is still
// playing 0.3 s after it started, where one played only once would have ended.
TEST_F(SdlAudioTest, LoopCountIsRepeatsAfterTheFirstPlay) {
    test::writeWav(dir.file("beep.wav"), 0.2);
    const SoundHandle beep = media->media_sound_from_file(dir.file("beep.wav"), false);
    const SoundHandle tune = media->media_sound_from_file(dir.file("tune.mp3"), true);
    const ChannelHandle effect = media->media_sound_channel_create(beep, 0, 1, nullptr);
    const ChannelHandle music = media->media_sound_channel_create(tune, 0, 1, nullptr);
    SDL_Delay(300);
    EXPECT_FALSE(media->media_sound_channel_is_complete(effect));
    EXPECT_FALSE(media->media_sound_channel_is_complete(music));
    EXPECT_TRUE(completes(effect));
    EXPECT_TRUE(completes(music));
}

TEST_F(SdlAudioTest, MusicLoopingForeverEndsOnlyWhenStoppedOrReplaced) {
    const SoundHandle tune = media->media_sound_from_file(dir.file("tune.mp3"), true);
    const ChannelHandle first = media->media_sound_channel_create(tune, 0, 1'000'000, nullptr);
    ASSERT_NE(first, ChannelHandle::None);
    SDL_Delay(500); // longer than the tune: it has come round at least once
    EXPECT_FALSE(media->media_sound_channel_is_complete(first));

    const ChannelHandle second = media->media_sound_channel_create(tune, 0, 1'000'000, nullptr);
    EXPECT_TRUE(media->media_sound_channel_is_complete(first));
    EXPECT_FALSE(media->media_sound_channel_is_complete(second));
    media->media_sound_channel_stop(second);
    EXPECT_TRUE(media->media_sound_channel_is_complete(second));
    EXPECT_EQ(Mix_PlayingMusic(), 0);
}

// Music asked to start part-way starts there (where within a loop is positionInLoop's, tested
// on its own): the mixer plays on in real time, so the position read back is at least the start
// and at most the time since later.
TEST_F(SdlAudioTest, MusicStartsPartWayIntoItsLoop) {
    test::writeMp3(dir.file("long.mp3"), 2);
    const SoundHandle tune = media->media_sound_from_file(dir.file("long.mp3"), true);
    const auto started = std::chrono::steady_clock::now();
    const ChannelHandle channel = media->media_sound_channel_create(tune, 1200, 1'000'000, nullptr);
    ASSERT_NE(channel, ChannelHandle::None);
    const double position = Mix_GetMusicPosition(nullptr);
    const std::chrono::duration<double> since = std::chrono::steady_clock::now() - started;
    if (since.count() > 0.5)
        GTEST_SKIP() << "the machine stalled for " << since.count() << " s";
    EXPECT_GE(position, 1.15);
    EXPECT_LE(position, 1.2 + since.count() + 0.1);
    media->media_sound_channel_stop(channel);
}

TEST_F(SdlAudioTest, StoppedEffectReportsCompleteAtOnce) {
    test::writeWav(dir.file("long.wav"), 2);
    const SoundHandle hum = media->media_sound_from_file(dir.file("long.wav"), false);
    const ChannelHandle channel = media->media_sound_channel_create(hum, 0, 0, nullptr);
    ASSERT_NE(channel, ChannelHandle::None);
    const int mixer = media->mixerChannelOf(channel);
    media->media_sound_channel_stop(channel);
    EXPECT_TRUE(media->media_sound_channel_is_complete(channel));
    EXPECT_EQ(Mix_Playing(mixer), 0);
    media->media_sound_channel_stop(channel); // twice is harmless
}

TEST_F(SdlAudioTest, ReusedMixerChannelDoesNotRevivePlayedOutSound) {
    const SoundHandle blip = media->media_sound_from_file(dir.file("blip.wav"), false);
    const ChannelHandle first = media->media_sound_channel_create(blip, 0, 0, nullptr);
    const int mixer = media->mixerChannelOf(first);
    ASSERT_TRUE(waitUntil([&] { return Mix_Playing(mixer) == 0; }, kPatience));
    // The next effect takes the freed mixer channel while the first is still unpolled.
    test::writeWav(dir.file("long.wav"), 2);
    const ChannelHandle second = media->media_sound_channel_create(
        media->media_sound_from_file(dir.file("long.wav"), false), 0, 0, nullptr);
    ASSERT_EQ(media->mixerChannelOf(second), mixer);
    EXPECT_TRUE(media->media_sound_channel_is_complete(first));
    EXPECT_FALSE(media->media_sound_channel_is_complete(second));
    // Stopping the played-out one must not silence the new one.
    media->media_sound_channel_stop(first);
    EXPECT_FALSE(media->media_sound_channel_is_complete(second));
    EXPECT_NE(Mix_Playing(mixer), 0);
}

TEST_F(SdlAudioTest, VolumeAndPanAreClampedAndSetOnEveryPlay) {
    test::writeWav(dir.file("long.wav"), 2);
    const SoundHandle hum = media->media_sound_from_file(dir.file("long.wav"), false);
    const SoundTransform loud{5.0, -3.0};
    const ChannelHandle channel = media->media_sound_channel_create(hum, 0, 0, &loud);
    const int mixer = media->mixerChannelOf(channel);
    // Every voice keeps half its level in reserve for the sum.
    const int full = static_cast<int>(kVoiceHeadroom * MIX_MAX_VOLUME);
    EXPECT_EQ(Mix_Volume(mixer, -1), full);
    media->media_sound_channel_set_transform(channel, SoundTransform{-1.0, 0});
    EXPECT_EQ(Mix_Volume(mixer, -1), 0);
    media->media_sound_channel_set_transform(channel, SoundTransform{0.5, 0});
    EXPECT_EQ(Mix_Volume(mixer, -1), full / 2);
    media->media_sound_channel_stop(channel);
    // A play without a transform on the same mixer channel is at full volume again (a second
    // sound of the same name, so that it does not join the stopped one).
    const ChannelHandle next = media->media_sound_channel_create(
        media->media_sound_from_file(dir.file("long.wav"), false), 0, 0, nullptr);
    ASSERT_EQ(media->mixerChannelOf(next), mixer);
    EXPECT_EQ(Mix_Volume(mixer, -1), full);

    const SoundTransform quiet{0.25, 0};
    media->media_sound_channel_create(media->media_sound_from_file(dir.file("tune.mp3"), true), 0,
                                      0, &quiet);
    EXPECT_EQ(Mix_VolumeMusic(-1), full / 4);
}

TEST(SdlAudioLevelsTest, TransformsAreClampedAndPanFadesTheOtherSide) {
    EXPECT_EQ(clampTransform(SoundTransform{1.5, 2}).volume, 1);
    EXPECT_EQ(clampTransform(SoundTransform{1.5, 2}).pan, 1);
    EXPECT_EQ(clampTransform(SoundTransform{-0.5, -2}).volume, 0);
    EXPECT_EQ(clampTransform(SoundTransform{-0.5, -2}).pan, -1);
    EXPECT_EQ(clampTransform(SoundTransform{std::nan(""), std::nan("")}).volume, 0);
    EXPECT_EQ(clampTransform(SoundTransform{std::nan(""), std::nan("")}).pan, 0);
    EXPECT_EQ(clampTransform(SoundTransform{0.3, -0.4}).volume, 0.3);
    EXPECT_EQ(panLevels(0), std::make_pair(std::uint8_t{255}, std::uint8_t{255}));
    EXPECT_EQ(panLevels(1), std::make_pair(std::uint8_t{0}, std::uint8_t{255}));
    EXPECT_EQ(panLevels(-1), std::make_pair(std::uint8_t{255}, std::uint8_t{0}));
    EXPECT_EQ(panLevels(0.5), std::make_pair(std::uint8_t{128}, std::uint8_t{255}));
}

TEST_F(SdlAudioTest, ManySoundsAtOnceTakeOverTheOldestChannel) {
    // Sounds of as many families, so that no family bound is reached first.
    std::vector<ChannelHandle> channels;
    for (int i = 0; i < SdlAudio::kMixerChannels + 1; ++i) {
        const std::string name = dir.file("hum" + std::to_string(i) + "x.wav");
        test::writeWav(name, 2);
        channels.push_back(media->media_sound_channel_create(
            media->media_sound_from_file(name, false), 0, 0, nullptr));
    }
    for (auto c : channels)
        EXPECT_NE(c, ChannelHandle::None);
    EXPECT_TRUE(media->media_sound_channel_is_complete(channels.front()));
    EXPECT_FALSE(media->media_sound_channel_is_complete(channels.back()));
    EXPECT_FALSE(media->media_sound_channel_is_complete(channels[1]));
}

TEST_F(SdlAudioTest, BadFilesAndHandlesAreRefusedQuietly) {
    test::writeText(dir.file("noise.wav"), "RIFF....WAVEnot a wave at all");
    EXPECT_EQ(media->media_sound_from_file(dir.file("missing.wav"), false), SoundHandle::None);
    EXPECT_EQ(media->media_sound_from_file(dir.file("noise.wav"), false), SoundHandle::None);
    EXPECT_EQ(media->media_sound_from_file(dir.file("missing.mp3"), true), SoundHandle::None);
    EXPECT_EQ(media->media_sound_channel_create(SoundHandle::None, 0, 0, nullptr),
              ChannelHandle::None);
    EXPECT_EQ(media->media_sound_channel_create(static_cast<SoundHandle>(123), 0, 0, nullptr),
              ChannelHandle::None);
    EXPECT_TRUE(media->media_sound_channel_is_complete(static_cast<ChannelHandle>(77)));
    media->media_sound_channel_stop(static_cast<ChannelHandle>(77));
    media->media_sound_channel_set_transform(ChannelHandle::None, SoundTransform{});
}

// A 16-bit mono PCM wav of the given samples, all silence, at the given rate.
std::string pcmWav(std::uint32_t rate, std::uint32_t samples) {
    auto le = [](std::uint32_t v, int bytes) {
        std::string out;
        for (int i = 0; i < bytes; ++i)
            out += static_cast<char>(v >> (8 * i) & 0xFF);
        return out;
    };
    const std::uint32_t data = samples * 2;
    return "RIFF" + le(36 + data, 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(1, 2) + le(rate, 4) +
           le(rate * 2, 4) + le(2, 2) + le(16, 2) + "data" + le(data, 4) + std::string(data, '\0');
}

// Effects are decoded whole at the mixer's rate: a small file that claims a very low rate, or
// a long one, is refused with one line before it is decoded, not after it took gigabytes. Music
// and effects alike are read only from regular files.
TEST_F(SdlAudioTest, EffectsTooLongOrNotRegularFilesAreRefusedInOneLine) {
    test::writeText(dir.file("slow.wav"), pcmWav(2, 40));           // 20 s
    test::writeText(dir.file("long.wav"), pcmWav(8000, 8000 * 11)); // 11 s
    test::writeText(dir.file("fine.wav"), pcmWav(8000, 8000 * 9));  // 9 s
    std::filesystem::create_directory(dir.file("folder.mp3"));
    std::filesystem::create_symlink("/dev/zero", dir.file("zero.wav"));
    testing::internal::CaptureStdout();
    EXPECT_EQ(media->media_sound_from_file(dir.file("slow.wav"), false), SoundHandle::None);
    EXPECT_EQ(media->media_sound_from_file(dir.file("long.wav"), false), SoundHandle::None);
    EXPECT_NE(media->media_sound_from_file(dir.file("fine.wav"), false), SoundHandle::None);
    EXPECT_EQ(media->media_sound_from_file(dir.file("zero.wav"), false), SoundHandle::None);
    EXPECT_EQ(media->media_sound_from_file(dir.file("folder.mp3"), true), SoundHandle::None);
    const std::string said = testing::internal::GetCapturedStdout();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 4) << said;
    for (const char* name : {"slow.wav: 20 s long", "long.wav: 11 s long", "zero.wav: a character",
                             "folder.mp3: a folder"})
        EXPECT_NE(said.find(name), std::string::npos) << name << " in " << said;
}

// The mixer's loader would take a MIDI, VOC, MP3 or AIFF file in place of an effect and render
// it whole; every file that is not a whole WAV is refused in one line that names it and says
// what it is, and music is only ever handed to the MP3 decoder.
TEST_F(SdlAudioTest, EffectsThatAreNotWavAndMusicThatIsNotMp3AreRefusedInOneLine) {
    const auto hostile = test::hostileEffects();
    for (const auto& sound : hostile)
        test::writeText(dir.file(sound.name), sound.bytes);
    test::writeText(dir.file("note-as-music.mp3"), test::shortMidi());
    test::writeText(dir.file("voc-as-music.mp3"), test::shortVoc());
    testing::internal::CaptureStdout();
    for (const auto& sound : hostile)
        EXPECT_EQ(media->media_sound_from_file(dir.file(sound.name), false), SoundHandle::None)
            << sound.name;
    EXPECT_EQ(media->media_sound_from_file(dir.file("note-as-music.mp3"), true), SoundHandle::None);
    EXPECT_EQ(media->media_sound_from_file(dir.file("voc-as-music.mp3"), true), SoundHandle::None);
    EXPECT_NE(media->media_sound_from_file(dir.file("tune.mp3"), true), SoundHandle::None);
    const std::string said = testing::internal::GetCapturedStdout();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), std::ssize(hostile) + 2) << said;
    for (const auto& sound : hostile)
        EXPECT_NE(said.find(sound.name + ": "), std::string::npos) << sound.name << " in " << said;
    EXPECT_NE(said.find("note-as-music.mp3: a MIDI file, not an MP3"), std::string::npos) << said;
}

// Sounds started from the mixer's own hook all begin in the next block, like the starts of one
// burst of game steps; the hook runs on the audio thread, so the checks wait for it.
class SdlAudioMixTest : public ::testing::Test {
protected:
    void SetUp() override {
        freshMedia(); // no other mixer open
        audio.setMixObserver(
            [this](std::span<const std::int16_t> sum, std::span<const std::int16_t> out) {
                std::lock_guard lock(mutex);
                sumFullScale += countFullScale(sum.data(), sum.size());
                for (auto s : out)
                    outPeak = std::max(outPeak, std::abs(static_cast<int>(s)));
                if (burst) {
                    burst();
                    burst = nullptr;
                    done.notify_all();
                }
            });
    }
    // The mixer stops calling the hook before the members it uses go.
    void TearDown() override { audio.shutdown(); }
    // Runs f on the audio thread between two blocks and waits for it.
    void betweenBlocks(std::function<void()> f) {
        std::unique_lock lock(mutex);
        burst = std::move(f);
        ASSERT_TRUE(done.wait_for(lock, std::chrono::seconds(3), [&] { return !burst; }));
    }
    SoundHandle load(const std::string& name) {
        test::writeWav(dir.file(name), 2);
        return audio.load(dir.file(name), false);
    }

    test::ScratchDir dir;
    SdlAudio audio;
    std::mutex mutex;
    std::condition_variable done;
    std::function<void()> burst;
    std::size_t sumFullScale = 0;
    int outPeak = 0;
};

TEST_F(SdlAudioMixTest, RestartsInOneBlockShareAVoiceThatEndsForEveryCaller) {
    const SoundHandle hit = load("hit1.wav");
    const SoundTransform quiet{0.5, 0}, loud{1, 0};
    ChannelHandle first{}, second{}, third{};
    int mixers[3] = {};
    betweenBlocks([&] {
        first = audio.play(hit, 0, &quiet);
        second = audio.play(hit, 0, &loud);
        third = audio.play(hit, 0, &quiet);
        mixers[0] = audio.mixerChannelOf(first);
        mixers[1] = audio.mixerChannelOf(second);
        mixers[2] = audio.mixerChannelOf(third);
    });
    EXPECT_GE(mixers[0], 0);
    EXPECT_EQ(mixers[1], mixers[0]);
    EXPECT_EQ(mixers[2], mixers[0]);
    EXPECT_EQ(Mix_Volume(mixers[0], -1), static_cast<int>(kVoiceHeadroom * MIX_MAX_VOLUME));
    // Stopping a joined start leaves the voice to the others ...
    audio.stop(second);
    EXPECT_TRUE(audio.isComplete(second));
    EXPECT_FALSE(audio.isComplete(third));
    EXPECT_NE(Mix_Playing(mixers[0]), 0);
    // ... and the voice's end reaches every start it took in.
    audio.stop(first);
    EXPECT_TRUE(audio.isComplete(first));
    EXPECT_TRUE(audio.isComplete(third));
}

TEST_F(SdlAudioMixTest, AFamilyKeepsItsBoundAndTheSumIsLimited) {
    std::vector<SoundHandle> hits, others;
    for (int i = 1; i <= 5; ++i)
        hits.push_back(load("hit" + std::to_string(i) + ".wav"));
    for (int i = 0; i < 12; ++i)
        others.push_back(load("other" + std::to_string(i) + "x.wav"));
    std::vector<ChannelHandle> played;
    betweenBlocks([&] {
        for (auto s : hits)
            played.push_back(audio.play(s, 0, nullptr));
        for (auto s : others)
            played.push_back(audio.play(s, 0, nullptr));
    });
    // The oldest hit gave way to the fifth; every other voice plays on.
    EXPECT_TRUE(waitUntil([&] { return audio.isComplete(played[0]); }, kPatience));
    for (std::size_t i = 1; i < played.size(); ++i)
        EXPECT_FALSE(audio.isComplete(played[i])) << i;
    // Sixteen tones in phase overflow the sum; what leaves the limiter stays below full scale.
    betweenBlocks([] {});
    betweenBlocks([] {});
    std::lock_guard lock(mutex);
    EXPECT_GT(sumFullScale, 0u);
    EXPECT_GT(outPeak, 30000);
    EXPECT_LT(outPeak, 32700);
}

// Without any audio device, SDL's dummy driver takes over: one line says so (repeating the
// environment's driver name only escaped), sounds still load and channels still end.
TEST(SdlAudioFallbackTest, PlaysOnSilentlyWithoutAnAudioDevice) {
    test::ScratchDir dir;
    test::writeWav(dir.file("blip.wav"), kShort);
    const char* before = std::getenv("SDL_AUDIODRIVER");
    const std::string saved = before ? before : "";
    setenv("SDL_AUDIODRIVER", "no-such-driver\x1b[31m", 1);
    auto& media = SdlMedia::install();
    testing::internal::CaptureStdout();
    const SoundHandle blip = media.media_sound_from_file(dir.file("blip.wav"), false);
    const std::string said = testing::internal::GetCapturedStdout();
    if (before)
        setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
    else
        unsetenv("SDL_AUDIODRIVER");
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1);
    EXPECT_NE(said.find("without sound"), std::string::npos);
    EXPECT_NE(said.find("no-such-driver\\x1b[31m"), std::string::npos) << said;
    EXPECT_EQ(said.find('\x1b'), std::string::npos);
    ASSERT_NE(blip, SoundHandle::None);
    const ChannelHandle channel = media.media_sound_channel_create(blip, 0, 0, nullptr);
    ASSERT_NE(channel, ChannelHandle::None);
    EXPECT_TRUE(
        waitUntil([&] { return media.media_sound_channel_is_complete(channel); }, kPatience));
}

} // namespace
} // namespace zindle
