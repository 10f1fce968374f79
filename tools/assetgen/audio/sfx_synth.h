#pragma once
// The effect synthesizer, in the manner of the classic "sfxr" generators: one oscillator with
// a pitch that slides, wobbles and jumps, a duty that sweeps, an attack/sustain/punch/decay
// envelope and a pair of sweeping filters. Presets are in physical units (Hz, seconds,
// octaves per second) so that the data files read as what one hears.
#include "audio/data_file.h"
#include "audio/oscillator.h"

#include <cstdint>
#include <vector>

namespace assetgen::audio {

struct SfxPreset {
    Wave wave = Wave::Square;
    double frequency = 440.0;   // Hz at the start
    double minFrequency = 20.0; // Hz, the slide stops here
    double slide = 0.0;         // octaves per second
    double deltaSlide = 0.0;    // octaves per second, per second
    double vibratoDepth = 0.0;  // semitones
    double vibratoRate = 0.0;   // Hz
    double arpSemitones = 0.0;  // pitch jump ...
    double arpTime = 0.0;       // ... after this many seconds (0: none)
    double repeat = 0.0;        // s; the pitch, slide and jump restart this often (0: never)
    double duty = 0.5;          // pulse width of the square, 0..1
    double dutySweep = 0.0;     // per second
    double attack = 0.005;      // s
    double sustain = 0.05;      // s
    double punch = 0.0;         // extra level at the start of the sustain, 0..1
    double decay = 0.1;         // s
    double decayCurve = 1.0;    // 1 linear, 2 and more: falls faster at first
    double lowPass = 0.0;       // Hz cutoff (0: off)
    double lowPassSweep = 0.0;  // octaves per second
    double resonance = 0.0;     // 0..1
    double highPass = 0.0;      // Hz cutoff (0: only the DC blocker)
    double highPassSweep = 0.0; // octaves per second
    double bodyFrequency = 0.0; // Hz at the start of a sine under the sound (0: none) ...
    double bodySlide = 0.0;     // ... octaves per second ...
    double bodyLevel = 0.0;     // ... and its level against the main wave, both enveloped
    std::uint32_t seed = 1;     // for the noise wave
    double gainDb = 0.0;        // a trim after levelling, for a variant that must sit back

    // Overrides the fields named in the section; unknown keys throw, so typos do not pass.
    void apply(const DataSection& section);
    double duration() const { return attack + sustain + decay; }
};

// Renders the preset at the sample rate: floating-point samples, roughly within [-1, 1].
std::vector<double> renderSfx(const SfxPreset& preset, int sampleRate);

} // namespace assetgen::audio
