#pragma once
// Level measurement and the finishing steps every rendered sound goes through: short fades at
// the ends, peak and loudness levelling, and conversion to 16-bit samples.
#include <cstdint>
#include <vector>

namespace assetgen::audio {

double toDb(double amplitude);
double fromDb(double db);

// The largest absolute sample.
double peakOf(const std::vector<double>& samples);

// Short-term loudness in dB relative to full scale: the loudest 50 ms window of the signal
// after a rough ear weighting (low rumble counts less, the presence range a little more).
// Interleaved channels are weighted together.
double loudnessDb(const std::vector<double>& samples, int sampleRate, int channels);

// Fades the first and last milliseconds in and out (raised cosine), so that a sound never
// starts or stops on a step.
void fadeEnds(std::vector<double>& samples, int sampleRate, double fadeInMs, double fadeOutMs);

void scale(std::vector<double>& samples, double gain);

// Holds every peak at or below the ceiling by turning the gain down smoothly just before it
// (lookahead) and back up after it, instead of clipping.
void limitPeaks(std::vector<double>& samples, int sampleRate, double ceiling);

// Rounds to 16 bits, clamping to the legal range.
std::vector<std::int16_t> toPcm16(const std::vector<double>& samples);

} // namespace assetgen::audio
