#pragma once
// Band-limited oscillator shapes shared by the effect synthesizer and the music sequencer.
// The square and saw get a polynomial correction at each jump (polyBLEP): without it their
// harmonics fold back below the pitch and the high notes sound gritty.
#include "audio/noise.h"

#include <cmath>
#include <numbers>
#include <string>

namespace assetgen::audio {

enum class Wave { Square, Saw, Sine, Triangle, Noise };

// "square" (also "pulse"), "saw", "sine", "triangle" or "noise"; throws std::runtime_error
// naming the context on anything else.
Wave parseWave(const std::string& name, const std::string& context);

// The correction for a unit jump at phase 0, for a phase step of dt per sample.
inline double polyBlep(double phase, double dt) {
    if (phase < dt) {
        const double x = phase / dt;
        return x + x - x * x - 1.0;
    }
    if (phase > 1.0 - dt) {
        const double x = (phase - 1.0) / dt;
        return x * x + x + x + 1.0;
    }
    return 0.0;
}

class Oscillator {
public:
    explicit Oscillator(std::uint32_t noiseSeed) : noise_(noiseSeed) {}

    // One sample of the wave at the given frequency (Hz) and pulse duty (0..1, square only);
    // then the phase advances.
    double next(Wave wave, double frequency, double duty, double sampleRate) {
        const double dt = std::fmin(frequency / sampleRate, 0.5);
        double value = 0.0;
        switch (wave) {
        case Wave::Square: {
            value = phase_ < duty ? 1.0 : -1.0;
            value += polyBlep(phase_, dt);
            double falling = phase_ - duty;
            if (falling < 0.0) {
                falling += 1.0;
            }
            value -= polyBlep(falling, dt);
            break;
        }
        case Wave::Saw:
            value = 2.0 * phase_ - 1.0 - polyBlep(phase_, dt);
            break;
        case Wave::Sine:
            value = std::sin(2.0 * std::numbers::pi * phase_);
            break;
        case Wave::Triangle:
            value = 4.0 * std::fabs(phase_ - 0.5) - 1.0;
            break;
        case Wave::Noise: {
            // A fresh random level 32 times per period, as the classic chip noise did:
            // the frequency then sets how bright the hiss is.
            const int slot = static_cast<int>(phase_ * kNoiseSlots);
            if (slot != noiseSlot_) {
                noiseSlot_ = slot;
                noiseValue_ = noise_.next();
            }
            value = noiseValue_;
            break;
        }
        }
        phase_ += dt;
        if (phase_ >= 1.0) {
            phase_ -= 1.0;
        }
        return value;
    }

    void resetPhase() { phase_ = 0.0; }

private:
    static constexpr int kNoiseSlots = 32;
    double phase_ = 0.0;
    Noise noise_;
    int noiseSlot_ = -1;
    double noiseValue_ = 0.0;
};

} // namespace assetgen::audio
