// Peaks, loudness, fades, levelling and the conversion to 16-bit samples.
#include "audio/levels.h"

#include "audio/filters.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace assetgen::audio {
namespace {

constexpr double kWindowSeconds = 0.05; // short-term loudness window
constexpr double kHopSeconds = 0.005;   // window step
constexpr double kWeightHighPassHz = 100.0;
constexpr double kWeightShelfHz = 1500.0;
constexpr double kWeightShelfDb = 4.0;
constexpr double kSilenceDb = -120.0;
constexpr double kLimiterLookaheadS = 0.002; // the gain ramps down over this before a peak
constexpr double kLimiterReleaseS = 0.04;    // and recovers with this time constant

} // namespace

double toDb(double amplitude) {
    return amplitude > 0.0 ? 20.0 * std::log10(amplitude) : kSilenceDb;
}

double fromDb(double db) {
    return std::pow(10.0, db / 20.0);
}

double peakOf(const std::vector<double>& samples) {
    double peak = 0.0;
    for (const double s : samples) {
        peak = std::max(peak, std::fabs(s));
    }
    return peak;
}

double loudnessDb(const std::vector<double>& samples, int sampleRate, int channels) {
    const std::size_t frames = samples.size() / static_cast<std::size_t>(channels);
    std::vector<double> energy(frames, 0.0);
    for (int c = 0; c < channels; ++c) {
        Biquad highPass =
            Biquad::highPass(kWeightHighPassHz, std::numbers::sqrt2 / 2.0, sampleRate);
        Biquad shelf = Biquad::highShelf(kWeightShelfHz, kWeightShelfDb, sampleRate);
        for (std::size_t i = 0; i < frames; ++i) {
            const double w = shelf.process(highPass.process(samples[i * channels + c]));
            energy[i] += w * w;
        }
    }
    const auto window = static_cast<std::size_t>(kWindowSeconds * sampleRate);
    const auto hop = static_cast<std::size_t>(kHopSeconds * sampleRate);
    double loudest = 0.0;
    for (std::size_t start = 0; start < frames; start += hop) {
        const std::size_t end = std::min(frames, start + window);
        double sum = 0.0;
        for (std::size_t i = start; i < end; ++i) {
            sum += energy[i];
        }
        // A window cut short by the end counts as if the rest were silence.
        loudest = std::max(loudest, sum / static_cast<double>(window * channels));
        if (end == frames) {
            break;
        }
    }
    return loudest > 0.0 ? 10.0 * std::log10(loudest) : kSilenceDb;
}

void fadeEnds(std::vector<double>& samples, int sampleRate, double fadeInMs, double fadeOutMs) {
    const auto ramp = [&](double ms, auto&& at) {
        const auto length =
            std::min(samples.size(), static_cast<std::size_t>(ms * sampleRate / 1000.0));
        for (std::size_t i = 0; i < length; ++i) {
            // Reaches exactly zero at the outermost sample.
            const double x = static_cast<double>(i) / static_cast<double>(length);
            at(i) *= 0.5 - 0.5 * std::cos(std::numbers::pi * x);
        }
    };
    ramp(fadeInMs, [&](std::size_t i) -> double& { return samples[i]; });
    ramp(fadeOutMs, [&](std::size_t i) -> double& { return samples[samples.size() - 1 - i]; });
}

void scale(std::vector<double>& samples, double gain) {
    for (double& s : samples) {
        s *= gain;
    }
}

void limitPeaks(std::vector<double>& samples, int sampleRate, double ceiling) {
    const std::size_t n = samples.size();
    if (n == 0) {
        return;
    }
    std::vector<double> gain(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double a = std::fabs(samples[i]);
        gain[i] = a > ceiling ? ceiling / a : 1.0;
    }
    // Backwards: a linear ramp into each reduction, so the gain is already down at the peak.
    const double rampStep = 1.0 / (kLimiterLookaheadS * sampleRate);
    for (std::size_t i = n - 1; i-- > 0;) {
        gain[i] = std::min(gain[i], gain[i + 1] + rampStep);
    }
    // Forwards: a smooth recovery after it.
    const double recover = 1.0 - std::exp(-1.0 / (kLimiterReleaseS * sampleRate));
    for (std::size_t i = 1; i < n; ++i) {
        gain[i] = std::min(gain[i], gain[i - 1] + (1.0 - gain[i - 1]) * recover);
    }
    for (std::size_t i = 0; i < n; ++i) {
        samples[i] *= gain[i];
    }
}

std::vector<std::int16_t> toPcm16(const std::vector<double>& samples) {
    std::vector<std::int16_t> pcm(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double v = std::clamp(std::round(samples[i] * 32767.0), -32768.0, 32767.0);
        pcm[i] = static_cast<std::int16_t>(v);
    }
    return pcm;
}

} // namespace assetgen::audio
