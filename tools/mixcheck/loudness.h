#pragma once
// Loudness of a stereo recording as broadcast meters read it: a K-weighting filter (a shelf
// for the head's effect on high frequencies, a high pass for the ear's deafness to rumble),
// energy summed over both channels, in LUFS. The recording is kept as energy per 10 ms block,
// which is all that momentary and gated integrated loudness need.
#include <cstdint>
#include <span>
#include <vector>

namespace zindle::mixcheck {

constexpr int kBlockFrames = 441; // 10 ms at 44.1 kHz

class LoudnessRecorder {
public:
    explicit LoudnessRecorder(int sampleRate);
    // Interleaved 16-bit stereo.
    void add(std::span<const std::int16_t> samples);
    // K-weighted energy (both channels, squared samples of full scale 1) of each whole block.
    const std::vector<double>& blocks() const { return blocks_; }
    // The largest sample seen, as a share of full scale.
    double peak() const { return peak_; }
    std::int64_t frames() const { return frames_; }

private:
    struct Biquad {
        double b0, b1, b2, a1, a2;
        double z1[2] = {0, 0}, z2[2] = {0, 0};
        double process(double x, int channel);
    };
    Biquad shelf_;
    Biquad highPass_;
    std::vector<double> blocks_;
    double current_ = 0;
    int inBlock_ = 0;
    double peak_ = 0;
    std::int64_t frames_ = 0;
};

// LUFS of the energy over blocks [first, first + count); -inf for silence. Blocks past the end
// count as silence.
double windowLoudness(const std::vector<double>& blocks, std::size_t first, std::size_t count);
// Momentary loudness (400 ms) from a block on.
double momentaryLoudness(const std::vector<double>& blocks, std::size_t first);
// Integrated loudness: 400 ms windows every 100 ms, gated at -70 LUFS and then 10 LU under the
// mean of what passed, so that pauses do not pull the figure down.
double integratedLoudness(const std::vector<double>& blocks);

} // namespace zindle::mixcheck
