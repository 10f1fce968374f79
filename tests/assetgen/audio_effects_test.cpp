// The committed sound effects: format, length, levels and clean ends, read back with SDL's own
// WAVE reader rather than ours.
#include "audio/levels.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace {

const std::filesystem::path kAssets = ZINDLE_ASSETS_DIR;

struct Category {
    const char* stem;
    int count;
    double maxSeconds;
};
constexpr Category kCategories[] = {
    {"pickup_coin", 5, 0.4}, {"laser_shoot", 5, 0.4}, {"explosion", 5, 1.0},
    {"power_up", 5, 0.5},    {"hit_hurt", 5, 0.4},    {"jump", 10, 0.4},
};

struct Wav {
    SDL_AudioSpec spec{};
    std::vector<double> samples; // -1..1
};

Wav load(const std::filesystem::path& path) {
    Wav wav;
    Uint8* buffer = nullptr;
    Uint32 bytes = 0;
    if (!SDL_LoadWAV(path.string().c_str(), &wav.spec, &buffer, &bytes)) {
        ADD_FAILURE() << path << ": " << SDL_GetError();
        return wav;
    }
    const auto* pcm = reinterpret_cast<const Sint16*>(buffer);
    for (Uint32 i = 0; i < bytes / 2; ++i) {
        wav.samples.push_back(pcm[i] / 32768.0);
    }
    SDL_FreeWAV(buffer);
    return wav;
}

std::vector<std::string> allEffects() {
    std::vector<std::string> names;
    for (const Category& c : kCategories) {
        for (int n = 1; n <= c.count; ++n) {
            names.push_back(std::string(c.stem) + std::to_string(n) + ".wav");
        }
    }
    return names;
}

TEST(AudioEffectsTest, EveryEffectIsShortSixteenBitMonoAt44100) {
    int files = 0;
    for (const Category& c : kCategories) {
        for (int n = 1; n <= c.count; ++n) {
            const auto path = kAssets / (std::string(c.stem) + std::to_string(n) + ".wav");
            const Wav wav = load(path);
            EXPECT_EQ(wav.spec.freq, 44100) << path;
            EXPECT_EQ(wav.spec.format, AUDIO_S16LSB) << path;
            EXPECT_EQ(wav.spec.channels, 1) << path;
            const double seconds = static_cast<double>(wav.samples.size()) / 44100.0;
            EXPECT_GT(seconds, 0.08) << path;
            EXPECT_LE(seconds, c.maxSeconds) << path;
            ++files;
        }
    }
    EXPECT_EQ(files, 35);
}

TEST(AudioEffectsTest, PeaksStayBelowTheCeilingAndLoudnessIsEven) {
    double quietest = 0.0;
    double loudest = -100.0;
    for (const std::string& name : allEffects()) {
        const Wav wav = load(kAssets / name);
        const double peak = assetgen::audio::toDb(assetgen::audio::peakOf(wav.samples));
        // Loudness decides the level; the spiky sounds reach the -1 dBFS ceiling and the dense
        // ones (a filtered square) stay somewhat below it.
        EXPECT_LE(peak, -0.9) << name;
        EXPECT_GE(peak, -9.0) << name;
        const double loudness = assetgen::audio::loudnessDb(wav.samples, 44100, 1);
        quietest = std::min(quietest, loudness);
        loudest = std::max(loudest, loudness);
    }
    EXPECT_LT(loudest - quietest, 1.5) << "loudest " << loudest << " dB, quietest " << quietest;
}

TEST(AudioEffectsTest, EveryEffectStartsAndEndsAtSilenceWithoutAStep) {
    constexpr double kEdge = 0.002;   // ~ -54 dBFS
    constexpr std::size_t kRamp = 44; // 1 ms
    for (const std::string& name : allEffects()) {
        const Wav wav = load(kAssets / name);
        ASSERT_GT(wav.samples.size(), 2 * kRamp) << name;
        EXPECT_LE(std::fabs(wav.samples.front()), kEdge) << name;
        EXPECT_LE(std::fabs(wav.samples.back()), kEdge) << name;
        // Within the first and last millisecond the level may only be rising or falling
        // gently, never a full-scale jump.
        for (std::size_t i = 0; i < kRamp; ++i) {
            const double limit = 0.5 * static_cast<double>(i + 1) / kRamp;
            EXPECT_LE(std::fabs(wav.samples[i]), limit) << name << " sample " << i;
            EXPECT_LE(std::fabs(wav.samples[wav.samples.size() - 1 - i]), limit)
                << name << " sample -" << i;
        }
    }
}

TEST(AudioEffectsTest, VariantsOfACategoryDiffer) {
    for (const Category& c : kCategories) {
        for (int a = 1; a <= c.count; ++a) {
            for (int b = a + 1; b <= c.count; ++b) {
                const Wav first =
                    load(kAssets / (std::string(c.stem) + std::to_string(a) + ".wav"));
                const Wav second =
                    load(kAssets / (std::string(c.stem) + std::to_string(b) + ".wav"));
                EXPECT_NE(first.samples, second.samples) << c.stem << a << " and " << b;
            }
        }
    }
}

} // namespace
