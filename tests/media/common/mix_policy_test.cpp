#include "media/common/mix_policy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace zindle {
namespace {

constexpr std::uint64_t kWindow = 441; // frames: 10 ms at 44.1 kHz

TEST(SoundFamilyTest, VariantsOfOneEffectShareAFamily) {
    EXPECT_EQ(soundFamily("assets/hit_hurt3.wav"), "hit_hurt");
    EXPECT_EQ(soundFamily("assets/jump10.wav"), "jump");
    EXPECT_EQ(soundFamily("/tmp/x/blip.wav"), "blip");
    EXPECT_EQ(soundFamily("42.wav"), "");
}

TEST(VoicePolicyTest, ARestartWithinTheWindowJoinsTheRunningStartAtTheLouderVolume) {
    VoicePolicy policy(4, kWindow);
    ASSERT_FALSE(policy.admit(1, "hit", 0.5, 1000).join);
    policy.started(10, 1, "hit", 0.5, 1000);

    auto again = policy.admit(1, "hit", 0.75, 1000 + kWindow - 1);
    ASSERT_TRUE(again.join);
    EXPECT_EQ(*again.join, 10u);
    EXPECT_EQ(again.joinVolume, 0.75);
    // A quieter duplicate does not turn the voice down.
    EXPECT_EQ(policy.admit(1, "hit", 0.1, 1000).joinVolume, 0.75);
    // Another variant of the family, or the same sound once the first has got going, is heard
    // as a sound of its own.
    EXPECT_FALSE(policy.admit(2, "hit", 1, 1000).join);
    EXPECT_FALSE(policy.admit(1, "hit", 1, 1000 + kWindow).join);
    EXPECT_EQ(policy.voiceCount(), 1u);
}

TEST(VoicePolicyTest, OnlyTheNewestStartOfASoundCanBeJoined) {
    VoicePolicy policy(4, kWindow);
    policy.started(10, 1, "hit", 1, 0);
    policy.started(11, 1, "hit", 1, 5000);
    auto again = policy.admit(1, "hit", 1, 5001);
    ASSERT_TRUE(again.join);
    EXPECT_EQ(*again.join, 11u);
}

TEST(VoicePolicyTest, AFullFamilyGivesUpItsOldestVoiceAndLeavesOtherFamiliesAlone) {
    VoicePolicy policy(3, kWindow);
    std::uint64_t now = 0;
    policy.started(1, 100, "jump", 1, now);
    for (VoicePolicy::VoiceId v = 10; v < 13; ++v) {
        now += kWindow;
        EXPECT_TRUE(policy.admit(v, "hit", 1, now).evict.empty());
        policy.started(v, v, "hit", 1, now);
    }
    auto fourth = policy.admit(13, "hit", 1, now + kWindow);
    EXPECT_EQ(fourth.evict, std::vector<VoicePolicy::VoiceId>{10});
    policy.started(13, 13, "hit", 1, now + kWindow);
    EXPECT_EQ(policy.voiceCount(), 4u); // jump, and three hits

    // Voices that played out no longer count against the bound.
    policy.forgetEnded([](VoicePolicy::VoiceId v) { return v == 11 || v == 12; });
    EXPECT_TRUE(policy.admit(14, "hit", 1, now + 2 * kWindow).evict.empty());
}

// A stereo block of the given frames with every sample at value.
std::vector<std::int16_t> block(std::size_t frames, std::int16_t value) {
    return std::vector<std::int16_t>(frames * 2, value);
}

TEST(LimiterTest, ClampedSumNeverLeavesAboveTheCeiling) {
    Limiter limiter(44100, 2, 0.9);
    std::vector<std::int16_t> samples;
    // A square at the very ends of the range, the worst a clamping mixer can hand over.
    for (int i = 0; i < 44100; ++i) {
        const std::int16_t v = (i / 50) % 2 ? INT16_MIN : INT16_MAX;
        samples.push_back(v);
        samples.push_back(v);
    }
    limiter.process(samples.data(), samples.size());
    const int ceiling = static_cast<int>(0.9 * 32767);
    for (auto s : samples)
        ASSERT_LE(std::abs(static_cast<int>(s)), ceiling);
    EXPECT_EQ(countFullScale(samples.data(), samples.size()), 0u);
}

TEST(LimiterTest, QuietSoundPassesUnchangedAndLevelsRecoverAfterAPeak) {
    Limiter limiter(44100, 2, 0.97);
    const std::size_t lag = limiter.latencyFrames();
    EXPECT_GT(lag, 0u);
    auto quiet = block(1000, 1000);
    limiter.process(quiet.data(), quiet.size());
    EXPECT_EQ(quiet[0], 0);          // the lookahead delays the sound ...
    EXPECT_EQ(quiet[lag * 2], 1000); // ... and leaves it alone
    EXPECT_EQ(quiet.back(), 1000);

    auto loud = block(100, INT16_MAX);
    limiter.process(loud.data(), loud.size());
    auto after = block(44100, 1000);
    limiter.process(after.data(), after.size());
    // Turned down right after the peak, back to nearly unity half a second later.
    EXPECT_LT(after[(lag + 10) * 2], 1000);
    EXPECT_GE(after[22050 * 2], 990);
}

TEST(LimiterTest, FullScaleCountSeesBothEndsOfTheRange) {
    const std::vector<std::int16_t> samples{INT16_MAX, INT16_MIN, 32766, -32767, 0};
    EXPECT_EQ(countFullScale(samples.data(), samples.size()), 2u);
}

} // namespace
} // namespace zindle
