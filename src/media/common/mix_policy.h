#pragma once
// The rules a backend's mixer follows so that many effects at once stay clear: a sound started
// again before its earlier start has got going joins that start instead of stacking on it, and
// each family of effects (the variants of one sound) has a bounded number of voices. Kept apart
// from any audio API so that every backend mixes by the same rules and tests need no device.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zindle {

// "assets/hit_hurt3.wav" -> "hit_hurt": the numbered variants of one effect are one family.
std::string soundFamily(const std::string& path);

// The mixing rules every backend applies (see VoicePolicy and Limiter).
constexpr double kNoStackSeconds = 0.01;    // a start this soon after the last joins it
constexpr int kVoicesPerFamily = 4;         // hits come in bursts of dozens; four read as a crowd
constexpr double kEvictFadeSeconds = 0.008; // a voice that gives way fades rather than clicks
constexpr double kLimiterCeiling = 0.97;    // of full scale

// The gain every voice gets before the sum. Mixers clamp as they add each voice, so the room
// for many voices at once has to be made before the sum; the limiter after it catches the rest.
constexpr double kVoiceHeadroom = 0.5; // of the recorded level (-6 dB)

class VoicePolicy {
public:
    using VoiceId = std::uint32_t;
    using SoundId = std::uint32_t;

    // A start of the same sound less than noStackTicks after an earlier one joins it; a family
    // never has more than voicesPerFamily voices. Ticks are the caller's clock: sample frames
    // mixed, or microseconds.
    VoicePolicy(int voicesPerFamily, std::uint64_t noStackTicks);

    struct Admission {
        // The running voice a duplicate joins instead of starting; none: start a new voice.
        std::optional<VoiceId> join;
        // The volume the joined voice should take: the louder of the two starts.
        double joinVolume = 0;
        // Voices that must give way first, oldest first, to keep the family within its bound.
        std::vector<VoiceId> evict;
    };

    // What to do with a start of sound (of family) at volume at tick now.
    // Evicted voices are forgotten here; the caller ends them.
    Admission admit(SoundId sound, const std::string& family, double volume, std::uint64_t now);
    // Records a voice the caller has started on the admission's terms.
    void started(VoiceId voice, SoundId sound, const std::string& family, double volume,
                 std::uint64_t now);
    // Forgets every voice for which hasEnded is true; called before admit, so that voices that
    // played out count no longer.
    template <class Pred> void forgetEnded(Pred hasEnded) {
        std::erase_if(voices_, [&](const Voice& v) { return hasEnded(v.id); });
    }
    std::size_t voiceCount() const { return voices_.size(); }

private:
    struct Voice {
        VoiceId id;
        SoundId sound;
        std::string family;
        double volume;
        std::uint64_t start; // tick at which it started
    };
    int voicesPerFamily_;
    std::uint64_t noStackTicks_;
    std::vector<Voice> voices_; // oldest first
};

// A peak limiter for the sum, run on each mixed block: the gain falls smoothly over a short
// lookahead so that no sample leaves above the ceiling, and recovers slowly after the peak.
// The output is the input delayed by the lookahead.
class Limiter {
public:
    Limiter(int sampleRate, int channels, double ceiling);
    // Interleaved 16-bit samples, in place.
    void process(std::int16_t* samples, std::size_t count);
    // Frames the output lags the input.
    std::size_t latencyFrames() const { return lookahead_; }

private:
    int channels_;
    double ceiling_;
    std::size_t lookahead_;
    double rampStep_; // gain per frame the lookahead ramp may fall
    double recover_;  // share of the way back to unity per frame
    double gain_ = 1;
    // Ring buffers over the lookahead: the delayed samples and the gain each frame needs.
    std::vector<std::int16_t> delay_;
    std::vector<double> needed_;
    std::size_t pos_ = 0;
};

// Samples at the ends of the 16-bit range: where a mixer that clamps as it adds has clipped.
std::size_t countFullScale(const std::int16_t* samples, std::size_t count);

} // namespace zindle
