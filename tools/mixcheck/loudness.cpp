#include "loudness.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace zindle::mixcheck {

namespace {
// The K-weighting's two stages, as analogue prototypes turned digital for any sample rate.
constexpr double kShelfHz = 1681.974450955533;
constexpr double kShelfGainDb = 3.999843853973347;
constexpr double kShelfQ = 0.7071752369554196;
constexpr double kHighPassHz = 38.13547087602444;
constexpr double kHighPassQ = 0.5003270373238773;
constexpr double kLoudnessOffset = -0.691;   // dB, so that a 1 kHz tone reads its level
constexpr std::size_t kMomentaryBlocks = 40; // 400 ms
constexpr std::size_t kGateStepBlocks = 10;  // 100 ms
constexpr double kAbsoluteGate = -70.0;      // LUFS
constexpr double kRelativeGate = -10.0;      // LU under the mean of the absolute-gated windows

double toLufs(double meanSquare) {
    return meanSquare > 0 ? kLoudnessOffset + 10 * std::log10(meanSquare)
                          : -std::numeric_limits<double>::infinity();
}

double meanSquare(const std::vector<double>& blocks, std::size_t first, std::size_t count) {
    double sum = 0;
    for (std::size_t i = first; i < first + count && i < blocks.size(); ++i)
        sum += blocks[i];
    return sum / static_cast<double>(count * kBlockFrames);
}
} // namespace

double LoudnessRecorder::Biquad::process(double x, int c) {
    const double y = b0 * x + z1[c];
    z1[c] = b1 * x - a1 * y + z2[c];
    z2[c] = b2 * x - a2 * y;
    return y;
}

LoudnessRecorder::LoudnessRecorder(int sampleRate) {
    const double rate = sampleRate;
    {
        const double k = std::tan(std::numbers::pi * kShelfHz / rate);
        const double vh = std::pow(10.0, kShelfGainDb / 20.0);
        const double vb = std::pow(vh, 0.4996667741545416);
        const double a0 = 1 + k / kShelfQ + k * k;
        shelf_ = {(vh + vb * k / kShelfQ + k * k) / a0, 2 * (k * k - vh) / a0,
                  (vh - vb * k / kShelfQ + k * k) / a0, 2 * (k * k - 1) / a0,
                  (1 - k / kShelfQ + k * k) / a0};
    }
    {
        const double k = std::tan(std::numbers::pi * kHighPassHz / rate);
        const double a0 = 1 + k / kHighPassQ + k * k;
        highPass_ = {1, -2, 1, 2 * (k * k - 1) / a0, (1 - k / kHighPassQ + k * k) / a0};
    }
}

void LoudnessRecorder::add(std::span<const std::int16_t> samples) {
    for (std::size_t i = 0; i + 1 < samples.size(); i += 2) {
        for (int c = 0; c < 2; ++c) {
            const double x = samples[i + static_cast<std::size_t>(c)] / 32768.0;
            peak_ = std::max(peak_, std::fabs(x));
            const double y = highPass_.process(shelf_.process(x, c), c);
            current_ += y * y;
        }
        ++frames_;
        if (++inBlock_ == kBlockFrames) {
            blocks_.push_back(current_);
            current_ = 0;
            inBlock_ = 0;
        }
    }
}

double windowLoudness(const std::vector<double>& blocks, std::size_t first, std::size_t count) {
    return toLufs(meanSquare(blocks, first, count));
}

double momentaryLoudness(const std::vector<double>& blocks, std::size_t first) {
    return windowLoudness(blocks, first, kMomentaryBlocks);
}

double integratedLoudness(const std::vector<double>& blocks) {
    std::vector<double> windows;
    for (std::size_t first = 0; first + kMomentaryBlocks <= blocks.size(); first += kGateStepBlocks)
        windows.push_back(meanSquare(blocks, first, kMomentaryBlocks));
    auto gatedMean = [&](double gate) {
        double sum = 0;
        int n = 0;
        for (double w : windows)
            if (toLufs(w) > gate) {
                sum += w;
                ++n;
            }
        return n > 0 ? sum / n : 0.0;
    };
    const double absolute = gatedMean(kAbsoluteGate);
    if (absolute <= 0)
        return -std::numeric_limits<double>::infinity();
    return toLufs(gatedMean(toLufs(absolute) + kRelativeGate));
}

} // namespace zindle::mixcheck
