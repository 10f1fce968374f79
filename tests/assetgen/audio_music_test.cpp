// The committed music tracks, played the way the game plays them: streamed by SDL2_mixer and
// looped. SDL's disk audio driver records what the mixer really outputs, at full speed, so the
// test hears the join between two passes exactly as a player would.
#include "audio/score.h"
#include "audio/sequencer.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const std::filesystem::path kAssets = ZINDLE_ASSETS_DIR;
const std::filesystem::path kScores = std::filesystem::path(ZINDLE_ASSETS_SRC_DIR) / "audio";
constexpr int kRate = 44100;
constexpr std::size_t kLagSearch = 4000; // frames either side of the expected loop length
constexpr std::size_t kCompareWindow = 8192;
constexpr std::size_t kSeamRadius = 4410; // 100 ms either side of the join
constexpr std::size_t kBlock = 441;       // 10 ms
constexpr double kSilentBlockDb = -50.0;

struct Track {
    const char* score;
    const char* file;
};
constexpr Track kTracks[] = {
    {"match.score", "Orbwright-Velvetdusk-08Brightloop(featuringQuietharbor).mp3"},
    {"title.score", "Orbwright-Velvetdusk-16TakeThisOne.mp3"},
};

// Left+right averaged, -1..1, from the moment the mixer first played something.
struct Capture {
    std::vector<double> mono;
    std::vector<double> left;
    double reportedSeconds = 0.0;
};

// Plays the track on endless loop through SDL2_mixer into a raw file until `frames` frames of
// music have been recorded.
Capture recordLooping(const std::filesystem::path& mp3, std::size_t frames) {
    const auto raw = std::filesystem::temp_directory_path() /
                     ("zindle_music_" + std::to_string(::getpid()) + ".raw");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "0",
           1); // no waiting between buffers: record faster than real time
    Capture capture;
    if (SDL_Init(SDL_INIT_AUDIO) != 0) {
        ADD_FAILURE() << SDL_GetError();
        return capture;
    }
    // As the game opens it: 44.1 kHz, 16-bit stereo, 1024-frame buffers.
    if (Mix_OpenAudio(kRate, AUDIO_S16LSB, 2, 1024) != 0) {
        ADD_FAILURE() << Mix_GetError();
        SDL_Quit();
        return capture;
    }
    int freq = 0;
    Uint16 format = 0;
    int channels = 0;
    Mix_QuerySpec(&freq, &format, &channels);
    EXPECT_EQ(freq, kRate);
    EXPECT_EQ(format, AUDIO_S16LSB);
    EXPECT_EQ(channels, 2);

    Mix_Music* music = Mix_LoadMUS(mp3.c_str());
    if (music == nullptr) {
        ADD_FAILURE() << mp3 << ": " << Mix_GetError();
    } else {
        capture.reportedSeconds = Mix_MusicDuration(music);
        Mix_PlayMusic(music, -1);
        // Leading silence from before the music started is unknown but short; allow 3 s.
        const std::uintmax_t wanted = (frames + 3 * kRate) * 4;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (std::chrono::steady_clock::now() < deadline &&
               (!std::filesystem::exists(raw) || std::filesystem::file_size(raw) < wanted)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        Mix_HaltMusic();
        Mix_FreeMusic(music);
    }
    Mix_CloseAudio();
    SDL_Quit();

    std::ifstream in(raw, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (std::getenv("ZINDLE_KEEP_CAPTURE") == nullptr) {
        std::filesystem::remove(raw);
    }
    std::size_t start = 0;
    const auto sample = [&](std::size_t i) {
        const auto lo = static_cast<unsigned char>(bytes[i * 2]);
        const auto hi = static_cast<unsigned char>(bytes[i * 2 + 1]);
        return static_cast<Sint16>(lo | (hi << 8)) / 32768.0;
    };
    const std::size_t totalFrames = bytes.size() / 4;
    while (start < totalFrames && sample(start * 2) == 0.0 && sample(start * 2 + 1) == 0.0) {
        ++start;
    }
    for (std::size_t f = start; f < totalFrames; ++f) {
        capture.left.push_back(sample(f * 2));
        capture.mono.push_back(0.5 * (sample(f * 2) + sample(f * 2 + 1)));
    }
    return capture;
}

// The shift between the first pass and the next that best lines them up.
std::size_t bestLag(const std::vector<double>& x, std::size_t from, std::size_t expected) {
    std::size_t best = 0;
    double bestError = INFINITY;
    for (std::size_t lag = expected - kLagSearch; lag <= expected + kLagSearch; ++lag) {
        double error = 0.0;
        for (std::size_t i = 0; i < kCompareWindow && error < bestError; ++i) {
            const double d = x[from + i + lag] - x[from + i];
            error += d * d;
        }
        if (error < bestError) {
            bestError = error;
            best = lag;
        }
    }
    return best;
}

class AudioMusicTest : public ::testing::TestWithParam<Track> {};

TEST_P(AudioMusicTest, LoopsWithoutGapOrClickThroughTheMixer) {
    const Track track = GetParam();
    const auto score = assetgen::audio::Score::read(kScores / track.score);
    const std::size_t loop =
        static_cast<std::size_t>(score.totalSteps) *
        static_cast<std::size_t>(assetgen::audio::samplesPerStep(score, kRate));
    EXPECT_GE(loop, 45u * kRate) << "at least 45 s";

    const Capture capture = recordLooping(kAssets / track.file, 2 * loop);
    ASSERT_GT(capture.mono.size(), loop + loop / 3 + kLagSearch + kCompareWindow)
        << "recorded too little";
    EXPECT_NEAR(capture.reportedSeconds, static_cast<double>(loop) / kRate, 0.01);

    // One pass lasts exactly the rendered loop: the decoder trimmed the encoder's delay and
    // padding, and the mixer added nothing between the passes.
    const std::size_t lag = bestLag(capture.mono, loop / 3, loop);
    EXPECT_EQ(lag, loop) << "one pass is " << static_cast<long>(lag) - static_cast<long>(loop)
                         << " frames longer than the music";

    // Loud enough to be heard under play, its peaks still under the effects' -1 dBFS ceiling.
    double peak = 0.0;
    for (std::size_t i = 0; i < loop; ++i) {
        peak = std::max(peak, std::fabs(capture.left[i]));
    }
    EXPECT_LT(20.0 * std::log10(peak), -1.2);
    EXPECT_GT(20.0 * std::log10(peak), -4.0);

    // Starting the track from silence does not click either.
    EXPECT_LT(std::fabs(capture.left.front()), 0.005);
    EXPECT_LT(std::fabs(capture.mono.front()), 0.005);

    // The second pass starts as the first did.
    double startDifference = 0.0;
    for (std::size_t i = 0; i < kSeamRadius; ++i) {
        startDifference =
            std::max(startDifference, std::fabs(capture.mono[loop + i] - capture.mono[i]));
    }
    EXPECT_LT(startDifference, 0.01);

    // No silence at the join: every 10 ms around it carries sound.
    const std::size_t seam = loop;
    for (std::size_t b = seam - kSeamRadius; b < seam + kSeamRadius; b += kBlock) {
        double energy = 0.0;
        for (std::size_t i = b; i < b + kBlock; ++i) {
            energy += capture.mono[i] * capture.mono[i];
        }
        const double db = 10.0 * std::log10(energy / kBlock + 1e-20);
        EXPECT_GT(db, kSilentBlockDb)
            << "quiet block " << static_cast<long>(b) - static_cast<long>(seam)
            << " frames from the join";
    }

    // No click: the largest step from one sample to the next at the join is no larger than
    // the steps the music itself makes just before and after it.
    const auto largestStep = [&](std::size_t from, std::size_t to) {
        double step = 0.0;
        for (std::size_t i = from; i < to; ++i) {
            step = std::max(step, std::fabs(capture.left[i + 1] - capture.left[i]));
        }
        return step;
    };
    const double atSeam = largestStep(seam - 16, seam + 16);
    const double around = std::max(largestStep(seam - kSeamRadius, seam - 16),
                                   largestStep(seam + 16, seam + kSeamRadius));
    EXPECT_LE(atSeam, around * 1.1) << "step at the join " << atSeam << ", around it " << around;
    std::printf("%s: loop %zu frames, measured pass %zu, start difference %.5f, step at join %.4f "
                "(around %.4f)\n",
                track.file, loop, lag, startDifference, atSeam, around);
}

INSTANTIATE_TEST_SUITE_P(Tracks, AudioMusicTest, ::testing::ValuesIn(kTracks),
                         [](const auto& info) {
                             return std::string(info.param.score).substr(0, 5);
                         });

} // namespace
