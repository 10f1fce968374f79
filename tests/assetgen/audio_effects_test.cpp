// The committed sound effects: format, length, levels and clean ends, read back with SDL's own
// WAVE reader rather than ours.
#include "audio/filters.h"
#include "audio/levels.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <stdexcept>
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

// Loudness (dB, weighted) of each variant of a category.
std::vector<double> loudnessOf(const Category& c) {
    std::vector<double> values;
    for (int n = 1; n <= c.count; ++n) {
        const Wav wav = load(kAssets / (std::string(c.stem) + std::to_string(n) + ".wav"));
        values.push_back(assetgen::audio::loudnessDb(wav.samples, 44100, 1));
    }
    return values;
}

const Category& category(const std::string& stem) {
    for (const Category& c : kCategories) {
        if (stem == c.stem) {
            return c;
        }
    }
    throw std::logic_error("no category " + stem);
}

TEST(AudioEffectsTest, PeaksStayBelowTheCeilingAndVariantsAreEvenlyLoud) {
    for (const std::string& name : allEffects()) {
        const Wav wav = load(kAssets / name);
        const double peak = assetgen::audio::toDb(assetgen::audio::peakOf(wav.samples));
        EXPECT_LE(peak, -0.9) << name;
        EXPECT_GE(peak, -20.0) << name;
    }
    // Rotation between the variants of a category must not be heard as a change of level.
    for (const Category& c : kCategories) {
        const auto values = loudnessOf(c);
        const auto [quietest, loudest] = std::minmax_element(values.begin(), values.end());
        EXPECT_LT(*loudest - *quietest, 1.5) << c.stem;
    }
}

// What matters to the player stands out from what happens several times a second.
TEST(AudioEffectsTest, CatchesAndFallsAreLouderThanBumpsAndJumps) {
    constexpr double kMarginDb = 6;
    auto quietest = [](const char* stem) {
        const auto v = loudnessOf(category(stem));
        return *std::min_element(v.begin(), v.end());
    };
    auto loudest = [](const char* stem) {
        const auto v = loudnessOf(category(stem));
        return *std::max_element(v.begin(), v.end());
    };
    for (const char* important : {"pickup_coin", "explosion"}) {
        for (const char* frequent : {"hit_hurt", "jump"}) {
            EXPECT_GT(quietest(important) - loudest(frequent), kMarginDb)
                << important << " over " << frequent;
        }
    }
}

// Share of a sound's energy below about 150 Hz: what a second-order high pass there removes.
double lowShare(const std::vector<double>& samples) {
    auto highPass = assetgen::audio::Biquad::highPass(150, std::sqrt(0.5), 44100);
    double all = 0;
    double high = 0;
    for (const double s : samples) {
        const double h = highPass.process(s);
        all += s * s;
        high += h * h;
    }
    return all > 0 ? 1 - high / all : 0;
}

TEST(AudioEffectsTest, ExplosionsHaveBody) {
    for (int n = 1; n <= 5; ++n) {
        const Wav wav = load(kAssets / ("explosion" + std::to_string(n) + ".wav"));
        EXPECT_GT(lowShare(wav.samples), 0.25) << "explosion" << n;
    }
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
