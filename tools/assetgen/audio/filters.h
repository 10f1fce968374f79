#pragma once
// The filters of the synthesizers: a resonant low-pass (state-variable, trapezoidal form, so it
// stays stable while its cutoff sweeps), a one-pole high-pass and a general biquad.
#include <cmath>
#include <numbers>

namespace assetgen::audio {

class LowPass {
public:
    // cutoff in Hz, resonance 0 (none) to just under 1 (rings).
    double process(double input, double cutoff, double resonance, double sampleRate) {
        const double fc = std::fmin(std::fmax(cutoff, 10.0), 0.45 * sampleRate);
        const double g = std::tan(std::numbers::pi * fc / sampleRate);
        const double k = 2.0 - 1.9 * std::fmin(std::fmax(resonance, 0.0), 1.0);
        const double a1 = 1.0 / (1.0 + g * (g + k));
        const double v3 = input - ic2_;
        const double v1 = a1 * ic1_ + g * a1 * v3;
        const double v2 = ic2_ + g * v1;
        ic1_ = 2.0 * v1 - ic1_;
        ic2_ = 2.0 * v2 - ic2_;
        return v2;
    }

private:
    double ic1_ = 0.0;
    double ic2_ = 0.0;
};

class HighPass {
public:
    double process(double input, double cutoff, double sampleRate) {
        const double rc = 1.0 / (2.0 * std::numbers::pi * std::fmax(cutoff, 1.0));
        const double a = rc / (rc + 1.0 / sampleRate);
        output_ = a * (output_ + input - lastInput_);
        lastInput_ = input;
        return output_;
    }

private:
    double output_ = 0.0;
    double lastInput_ = 0.0;
};

// Direct form I biquad with the usual audio-cookbook designs.
class Biquad {
public:
    static Biquad highPass(double cutoff, double q, double sampleRate) {
        const double w = 2.0 * std::numbers::pi * cutoff / sampleRate;
        const double alpha = std::sin(w) / (2.0 * q);
        const double c = std::cos(w);
        return Biquad((1.0 + c) / 2.0, -(1.0 + c), (1.0 + c) / 2.0, 1.0 + alpha, -2.0 * c,
                      1.0 - alpha);
    }

    static Biquad highShelf(double frequency, double gainDb, double sampleRate) {
        const double a = std::pow(10.0, gainDb / 40.0);
        const double w = 2.0 * std::numbers::pi * frequency / sampleRate;
        const double c = std::cos(w);
        const double alpha = std::sin(w) / 2.0 * std::sqrt(2.0);
        const double root = 2.0 * std::sqrt(a) * alpha;
        return Biquad(a * ((a + 1.0) + (a - 1.0) * c + root),
                      -2.0 * a * ((a - 1.0) + (a + 1.0) * c),
                      a * ((a + 1.0) + (a - 1.0) * c - root), (a + 1.0) - (a - 1.0) * c + root,
                      2.0 * ((a - 1.0) - (a + 1.0) * c), (a + 1.0) - (a - 1.0) * c - root);
    }

    double process(double input) {
        const double output = b0_ * input + b1_ * x1_ + b2_ * x2_ - a1_ * y1_ - a2_ * y2_;
        x2_ = x1_;
        x1_ = input;
        y2_ = y1_;
        y1_ = output;
        return output;
    }

private:
    Biquad(double b0, double b1, double b2, double a0, double a1, double a2)
        : b0_(b0 / a0), b1_(b1 / a0), b2_(b2 / a0), a1_(a1 / a0), a2_(a2 / a0) {}

    double b0_, b1_, b2_, a1_, a2_;
    double x1_ = 0.0, x2_ = 0.0, y1_ = 0.0, y2_ = 0.0;
};

} // namespace assetgen::audio
