// The mixing rules every backend follows: a sound's family from its file name, the voice rules
// (no stacking on a fresh start, a bounded number of voices per family), the lookahead limiter
// on the sum, and the count of samples at full scale that the measurements report.
#include "media/common/mix_policy.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace zindle {

namespace {
constexpr double kLookaheadSeconds = 0.002; // the gain is fully down this long before a peak
constexpr double kReleaseSeconds = 0.08;    // time constant of the recovery after it
constexpr double kFullScale = 32767.0;
} // namespace

std::string soundFamily(const std::string& path) {
    std::string stem = std::filesystem::path(path).stem().string();
    while (!stem.empty() && std::isdigit(static_cast<unsigned char>(stem.back())))
        stem.pop_back();
    return stem;
}

VoicePolicy::VoicePolicy(int voicesPerFamily, std::uint64_t noStackTicks)
    : voicesPerFamily_(std::max(voicesPerFamily, 1)), noStackTicks_(noStackTicks) {}

VoicePolicy::Admission VoicePolicy::admit(SoundId sound, const std::string& family, double volume,
                                          std::uint64_t now) {
    Admission admission;
    // The newest start of the same sound: if it has barely begun, a second copy on top of it
    // would only double its level (and its first peak), not be heard as a second sound.
    for (auto v = voices_.rbegin(); v != voices_.rend(); ++v) {
        if (v->sound != sound)
            continue;
        if (now - v->start < noStackTicks_) {
            v->volume = std::max(v->volume, volume);
            admission.join = v->id;
            admission.joinVolume = v->volume;
            return admission;
        }
        break;
    }
    // The oldest voices of the family give way: their tails matter less than the new start.
    auto inFamily = [&](const Voice& v) { return v.family == family; };
    auto count = std::count_if(voices_.begin(), voices_.end(), inFamily);
    for (auto v = voices_.begin(); v != voices_.end() && count >= voicesPerFamily_;) {
        if (inFamily(*v)) {
            admission.evict.push_back(v->id);
            v = voices_.erase(v);
            --count;
        } else {
            ++v;
        }
    }
    return admission;
}

void VoicePolicy::started(VoiceId voice, SoundId sound, const std::string& family, double volume,
                          std::uint64_t now) {
    voices_.push_back({voice, sound, family, volume, now});
}

Limiter::Limiter(int sampleRate, int channels, double ceiling)
    : channels_(std::max(channels, 1)), ceiling_(ceiling),
      lookahead_(static_cast<std::size_t>(std::lround(kLookaheadSeconds * sampleRate))),
      rampStep_(1.0 / static_cast<double>(std::max<std::size_t>(lookahead_, 1))),
      recover_(1.0 - std::exp(-1.0 / (kReleaseSeconds * sampleRate))),
      delay_((lookahead_ + 1) * static_cast<std::size_t>(channels_), 0),
      needed_(lookahead_ + 1, 1.0) {}

void Limiter::process(std::int16_t* samples, std::size_t count) {
    const auto channels = static_cast<std::size_t>(channels_);
    const std::size_t ring = lookahead_ + 1;
    for (std::size_t f = 0; f + channels <= count; f += channels) {
        // The newest frame goes in; the oldest (lookahead frames ago) comes out.
        int peak = 0;
        for (std::size_t c = 0; c < channels; ++c) {
            delay_[pos_ * channels + c] = samples[f + c];
            peak = std::max(peak, std::abs(static_cast<int>(samples[f + c])));
        }
        const double limit = ceiling_ * kFullScale;
        needed_[pos_] = peak > limit ? limit / peak : 1.0;
        const std::size_t out = (pos_ + 1) % ring;

        // The gain now must already be low enough for every frame in the lookahead, ramped so
        // that it arrives at each frame's need just as that frame comes out.
        double target = 1.0;
        for (std::size_t k = 0; k < ring; ++k)
            target =
                std::min(target, needed_[(out + k) % ring] + static_cast<double>(k) * rampStep_);
        gain_ = std::min(target, gain_ + (1.0 - gain_) * recover_);

        for (std::size_t c = 0; c < channels; ++c)
            samples[f + c] =
                static_cast<std::int16_t>(std::lround(delay_[out * channels + c] * gain_));
        pos_ = out;
    }
}

std::size_t countFullScale(const std::int16_t* samples, std::size_t count) {
    return static_cast<std::size_t>(std::count_if(
        samples, samples + count, [](std::int16_t s) { return s == INT16_MAX || s == INT16_MIN; }));
}

} // namespace zindle
