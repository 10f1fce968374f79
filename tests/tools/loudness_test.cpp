#include "loudness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace zindle::mixcheck {
namespace {

// Interleaved stereo: a sine of the given peak (of full scale) on both channels.
std::vector<std::int16_t> sine(double hz, double peak, double seconds, double rate = 44100) {
    std::vector<std::int16_t> out;
    for (int i = 0; i < static_cast<int>(seconds * rate); ++i) {
        const auto s = static_cast<std::int16_t>(
            std::lround(32767 * peak * std::sin(2 * std::numbers::pi * hz * i / rate)));
        out.push_back(s);
        out.push_back(s);
    }
    return out;
}

TEST(LoudnessTest, AToneReadsItsLevelAndRumbleCountsLess) {
    // Reference: a 1 kHz tone at full scale on both channels reads about 0 LUFS (-3 per side).
    LoudnessRecorder tone(44100);
    tone.add(sine(1000, 1.0, 2));
    EXPECT_NEAR(integratedLoudness(tone.blocks()), 0.0, 0.2);
    EXPECT_NEAR(tone.peak(), 1.0, 1e-3);

    LoudnessRecorder quieter(44100);
    quieter.add(sine(1000, 0.1, 2));
    EXPECT_NEAR(integratedLoudness(quieter.blocks()), -20.0, 0.2);

    LoudnessRecorder rumble(44100);
    rumble.add(sine(30, 1.0, 2));
    EXPECT_LT(integratedLoudness(rumble.blocks()), -3.0);
}

TEST(LoudnessTest, PausesDoNotPullTheIntegratedFigureDown) {
    LoudnessRecorder recorder(44100);
    recorder.add(sine(1000, 0.1, 2));
    recorder.add(std::vector<std::int16_t>(44100 * 2 * 6, 0)); // six seconds of silence
    recorder.add(sine(1000, 0.1, 2));
    // Ungated, the pause would make it -24; only the windows at its edges still count a little.
    EXPECT_NEAR(integratedLoudness(recorder.blocks()), -20.0, 0.5);
    // The momentary figure does see the pause.
    EXPECT_FALSE(std::isfinite(momentaryLoudness(recorder.blocks(), 400)));
    EXPECT_NEAR(momentaryLoudness(recorder.blocks(), 0), -20.0, 0.3);
}

} // namespace
} // namespace zindle::mixcheck
