// The effect synthesizer: preset keys and their setters, the envelope, and the render loop.
#include "audio/sfx_synth.h"

#include "audio/filters.h"
#include "framework/untrusted_text.h"

#include <cmath>
#include <functional>
#include <map>
#include <numbers>
#include <stdexcept>

namespace assetgen::audio {
namespace {

constexpr double kDcBlockHz = 20.0; // always on: an offset would click at the ends
constexpr double kMaxFrequencyHz = 16000.0;
constexpr double kMinDuty = 0.05;
constexpr double kMinBodyHz = 30.0; // the body's slide stops here, above the DC blocker
constexpr double kMaxDuty = 0.95;

using Setter = std::function<void(SfxPreset&, const std::string&, const std::string&)>;

Setter number(double SfxPreset::*field) {
    return [field](SfxPreset& preset, const std::string& text, const std::string& context) {
        preset.*field = parseNumber(text, context);
    };
}

const std::map<std::string, Setter>& setters() {
    static const std::map<std::string, Setter> table = {
        {"wave", [](SfxPreset& p, const std::string& text,
                    const std::string& context) { p.wave = parseWave(text, context); }},
        {"seed",
         [](SfxPreset& p, const std::string& text, const std::string& context) {
             const double seed = parseNumber(text, context);
             if (seed < 0.0 || seed > 4294967295.0) {
                 throw std::runtime_error(context + ": seed must fit 32 bits unsigned");
             }
             p.seed = static_cast<std::uint32_t>(seed);
         }},
        {"frequency", number(&SfxPreset::frequency)},
        {"min_frequency", number(&SfxPreset::minFrequency)},
        {"slide", number(&SfxPreset::slide)},
        {"delta_slide", number(&SfxPreset::deltaSlide)},
        {"vibrato_depth", number(&SfxPreset::vibratoDepth)},
        {"vibrato_rate", number(&SfxPreset::vibratoRate)},
        {"arp_semitones", number(&SfxPreset::arpSemitones)},
        {"arp_time", number(&SfxPreset::arpTime)},
        {"repeat", number(&SfxPreset::repeat)},
        {"duty", number(&SfxPreset::duty)},
        {"duty_sweep", number(&SfxPreset::dutySweep)},
        {"attack", number(&SfxPreset::attack)},
        {"sustain", number(&SfxPreset::sustain)},
        {"punch", number(&SfxPreset::punch)},
        {"decay", number(&SfxPreset::decay)},
        {"decay_curve", number(&SfxPreset::decayCurve)},
        {"low_pass", number(&SfxPreset::lowPass)},
        {"low_pass_sweep", number(&SfxPreset::lowPassSweep)},
        {"resonance", number(&SfxPreset::resonance)},
        {"high_pass", number(&SfxPreset::highPass)},
        {"high_pass_sweep", number(&SfxPreset::highPassSweep)},
        {"body_frequency", number(&SfxPreset::bodyFrequency)},
        {"body_slide", number(&SfxPreset::bodySlide)},
        {"body_level", number(&SfxPreset::bodyLevel)},
        {"gain_db", number(&SfxPreset::gainDb)},
    };
    return table;
}

double envelope(const SfxPreset& p, double t) {
    if (t < p.attack) {
        return t / p.attack;
    }
    t -= p.attack;
    if (t < p.sustain) {
        return 1.0 + p.punch * (1.0 - t / p.sustain);
    }
    t -= p.sustain;
    if (t < p.decay) {
        return std::pow(1.0 - t / p.decay, p.decayCurve);
    }
    return 0.0;
}

} // namespace

void SfxPreset::apply(const DataSection& section) {
    for (const auto& [key, text] : section.values) {
        const auto setter = setters().find(key);
        if (setter == setters().end()) {
            throw std::runtime_error(std::string("[") + zindle::quoteUntrusted(section.name) +
                                     "]: unknown key \"" + zindle::quoteUntrusted(key) + "\"");
        }
        // Built piece by piece: GCC 12 misreads the chained + here as an overlapping copy.
        std::string context = "[";
        context += zindle::quoteUntrusted(section.name);
        context += "] ";
        context += key;
        setter->second(*this, text, context);
    }
    if (attack <= 0.0 || sustain < 0.0 || decay <= 0.0) {
        throw std::runtime_error(std::string("[") + zindle::quoteUntrusted(section.name) +
                                 "]: attack and decay must be positive");
    }
}

std::vector<double> renderSfx(const SfxPreset& p, int sampleRate) {
    const double rate = sampleRate;
    const auto count = static_cast<std::size_t>(std::ceil(p.duration() * rate));
    std::vector<double> out(count);

    Oscillator oscillator(p.seed);
    LowPass lowPass;
    HighPass highPass;
    HighPass dcBlock;

    // Per-sample factors, so that the slides are exact powers and need no pow() in the loop.
    const double deltaSlidePerSample = p.deltaSlide / rate;
    const double arpFactor = std::exp2(p.arpSemitones / 12.0);
    const double lowPassStep = std::exp2(p.lowPassSweep / rate);
    const double highPassStep = std::exp2(p.highPassSweep / rate);

    double frequency = p.frequency;
    double slide = p.slide;
    bool arpDone = false;
    double sinceRestart = 0.0;
    double lowPassCutoff = p.lowPass;
    double highPassCutoff = p.highPass;
    double bodyPhase = 0.0; // in periods

    for (std::size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / rate;
        if (p.repeat > 0.0 && sinceRestart >= p.repeat) {
            frequency = p.frequency;
            slide = p.slide;
            arpDone = false;
            sinceRestart = 0.0;
        }
        if (!arpDone && p.arpTime > 0.0 && sinceRestart >= p.arpTime) {
            frequency *= arpFactor;
            arpDone = true;
        }
        double pitch = frequency;
        if (p.vibratoDepth != 0.0) {
            pitch *= std::exp2(p.vibratoDepth / 12.0 *
                               std::sin(2.0 * std::numbers::pi * p.vibratoRate * t));
        }
        pitch = std::fmin(std::fmax(pitch, p.minFrequency), kMaxFrequencyHz);
        const double duty = std::fmin(std::fmax(p.duty + p.dutySweep * t, kMinDuty), kMaxDuty);

        double sample = oscillator.next(p.wave, pitch, duty, rate);
        if (p.lowPass > 0.0) {
            sample = lowPass.process(sample, lowPassCutoff, p.resonance, rate);
            lowPassCutoff *= lowPassStep;
        }
        if (p.highPass > 0.0) {
            sample = highPass.process(sample, highPassCutoff, rate);
            highPassCutoff = std::fmin(highPassCutoff * highPassStep, kMaxFrequencyHz);
        }
        // The body is a low sine beside the filtered wave: the weight a noise burst alone lacks.
        if (p.bodyLevel > 0.0) {
            const double bodyHz =
                std::fmax(p.bodyFrequency * std::exp2(p.bodySlide * t), kMinBodyHz);
            sample += p.bodyLevel * std::sin(2.0 * std::numbers::pi * bodyPhase);
            bodyPhase = std::fmod(bodyPhase + bodyHz / rate, 1.0);
        }
        sample = dcBlock.process(sample, kDcBlockHz, rate);
        out[i] = sample * envelope(p, t);

        frequency *= std::exp2(slide / rate);
        slide += deltaSlidePerSample;
        sinceRestart += 1.0 / rate;
    }
    return out;
}

} // namespace assetgen::audio
