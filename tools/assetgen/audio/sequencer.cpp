// Rendering the notes and drum hits of a score into stereo samples, with the echo, and keeping
// the second of two passes so that the track loops seamlessly.
#include "audio/sequencer.h"

#include "audio/filters.h"
#include "audio/noise.h"

#include <cmath>
#include <numbers>
#include <stdexcept>

namespace assetgen::audio {
namespace {

// The drum kit, tuned once for every score.
constexpr double kKickStartHz = 160.0;    // pitch of the kick's thump at the hit ...
constexpr double kKickEndHz = 48.0;       // ... falling to this
constexpr double kKickPitchFallS = 0.035; // time constant of the fall
constexpr double kKickLengthS = 0.28;
constexpr double kSnareToneHz = 185.0;
constexpr double kSnareLengthS = 0.16;
constexpr double kSnareToneFallS = 0.03; // time constant of the snare's body
constexpr double kSnareNoiseHighPassHz = 1200.0;
constexpr double kSnareNoiseLowPassHz = 7000.0;
constexpr double kHatLengthS = 0.045;
constexpr double kOpenHatLengthS = 0.2;
constexpr double kHatHighPassHz = 6500.0;
constexpr double kHatLowPassHz = 12000.0;
constexpr double kDrumAttackS = 0.001; // keeps the hits from clicking
constexpr std::uint32_t kDrumSeed = 12345;

constexpr double kDcBlockHz = 15.0;
constexpr double kEchoCrossFeed = 0.5; // how much of each echo wanders to the other side

struct Stereo {
    std::vector<double>& samples; // interleaved
    std::size_t frames() const { return samples.size() / 2; }
    void add(std::size_t frame, double value, double pan) {
        if (frame >= frames()) {
            return;
        }
        // Linear pan law that keeps the centre at full level on both sides.
        samples[frame * 2] += value * std::fmin(1.0, 1.0 - pan);
        samples[frame * 2 + 1] += value * std::fmin(1.0, 1.0 + pan);
    }
};

double noteEnvelope(const VoiceSound& s, double t, double heldFor) {
    auto level = [&](double at) {
        if (at < s.attack) {
            return at / s.attack;
        }
        const double d = (at - s.attack) / s.decay;
        return s.sustain + (1.0 - s.sustain) * std::exp(-3.0 * d);
    };
    if (t < heldFor) {
        return level(t);
    }
    const double r = (t - heldFor) / s.release;
    return r >= 1.0 ? 0.0 : level(heldFor) * (1.0 - r) * (1.0 - r);
}

void renderNote(const VoiceSound& s, const NoteEvent& note, double stepSeconds, int rate,
                std::size_t startFrame, Stereo& dry, Stereo& echo) {
    const double heldFor = note.length * stepSeconds * s.gate;
    const auto frames = static_cast<std::size_t>((heldFor + s.release) * rate);
    const double frequency = midiToFrequency(note.midiNote);
    // Seeded by the note's place in the song, not in the buffer: both passes then sound the same,
    // which the seam relies on.
    Oscillator oscillator(static_cast<std::uint32_t>(note.step) + 1);
    LowPass lowPass;
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        double pitch = frequency;
        if (s.vibratoDepth != 0.0) {
            const double depth = s.vibratoDepth * std::fmin(1.0, t / s.vibratoDelay);
            pitch *= std::exp2(depth / 12.0 * std::sin(2.0 * std::numbers::pi * s.vibratoRate * t));
        }
        double v = oscillator.next(s.wave, pitch, s.duty, rate);
        if (s.lowPass > 0.0) {
            v = lowPass.process(v, s.lowPass, 0.0, rate);
        }
        v *= noteEnvelope(s, t, heldFor) * s.volume;
        dry.add(startFrame + i, v, s.pan);
        if (s.echo > 0.0) {
            echo.add(startFrame + i, v * s.echo, s.pan);
        }
    }
}

void renderDrum(char hit, double level, const VoiceSound& s, int rate, std::size_t startFrame,
                int songStep, Stereo& dry) {
    // Seeded by the hit's place in the song, so that both passes sound the same.
    Noise noise(kDrumSeed + static_cast<std::uint32_t>(songStep) * 7u +
                static_cast<std::uint32_t>(hit));
    const double length = hit == 'k'   ? kKickLengthS
                          : hit == 's' ? kSnareLengthS
                          : hit == 'h' ? kHatLengthS
                                       : kOpenHatLengthS;
    const auto frames = static_cast<std::size_t>(length * rate);
    LowPass lowPass;
    HighPass highPass;
    double phase = 0.0;
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double attack = std::fmin(1.0, t / kDrumAttackS);
        const double fall = 1.0 - t / length;
        double v = 0.0;
        if (hit == 'k') {
            const double pitch =
                kKickEndHz + (kKickStartHz - kKickEndHz) * std::exp(-t / kKickPitchFallS);
            phase += pitch / rate;
            v = std::sin(2.0 * std::numbers::pi * phase) * fall * fall;
        } else if (hit == 's') {
            phase += kSnareToneHz / rate;
            const double tone =
                std::sin(2.0 * std::numbers::pi * phase) * std::exp(-t / kSnareToneFallS) * fall;
            double hiss = highPass.process(noise.next(), kSnareNoiseHighPassHz, rate);
            hiss = lowPass.process(hiss, kSnareNoiseLowPassHz, 0.0, rate);
            v = 0.5 * tone + 0.8 * hiss * fall * fall * fall;
        } else {
            double hiss = highPass.process(noise.next(), kHatHighPassHz, rate);
            hiss = lowPass.process(hiss, kHatLowPassHz, 0.0, rate);
            v = hiss * fall * fall;
        }
        dry.add(startFrame + i, v * attack * level * s.volume, s.pan);
    }
}

} // namespace

int samplesPerStep(const Score& score, int sampleRate) {
    const double exact = sampleRate * 60.0 / (score.tempo * score.stepsPerBeat);
    const double whole = std::round(exact);
    if (std::fabs(exact - whole) > 1e-9) {
        throw std::runtime_error(score.file + ": a step is not a whole number of samples");
    }
    return static_cast<int>(whole);
}

std::vector<double> renderScore(const Score& score, int sampleRate) {
    const std::size_t step = static_cast<std::size_t>(samplesPerStep(score, sampleRate));
    const std::size_t loopFrames = step * static_cast<std::size_t>(score.totalSteps);
    const double stepSeconds = static_cast<double>(step) / sampleRate;

    std::vector<double> dryBuffer(loopFrames * 2 * 2, 0.0);
    std::vector<double> echoBuffer(dryBuffer.size(), 0.0);
    Stereo dry{dryBuffer};
    Stereo echoSend{echoBuffer};
    for (std::size_t pass = 0; pass < 2; ++pass) {
        for (const ScoreVoice& voice : score.voices) {
            for (const NoteEvent& note : voice.events) {
                const std::size_t start =
                    pass * loopFrames + static_cast<std::size_t>(note.step) * step;
                if (!voice.sound.drums) {
                    renderNote(voice.sound, note, stepSeconds, sampleRate, start, dry, echoSend);
                    continue;
                }
                for (const char hit : note.hits) {
                    renderDrum(hit, voice.sound.drumLevels.at(hit), voice.sound, sampleRate, start,
                               note.step, dry);
                }
            }
        }
    }

    // A ping-pong echo over the send, fed back into itself; the second pass hears the echoes
    // of the first, so the loop's start already carries the end's echoes. In place: once a
    // frame's echo is known, its send slot becomes what the delay line carries on (the send
    // plus the fed-back echo), and the echo joins the dry mix.
    const std::size_t delay = step * static_cast<std::size_t>(score.echoSteps);
    for (std::size_t f = delay; f < dry.frames(); ++f) {
        const double inL = echoBuffer[(f - delay) * 2];
        const double inR = echoBuffer[(f - delay) * 2 + 1];
        const double outL = (1.0 - kEchoCrossFeed) * inL + kEchoCrossFeed * inR;
        const double outR = (1.0 - kEchoCrossFeed) * inR + kEchoCrossFeed * inL;
        echoBuffer[f * 2] += outL * score.echoFeedback;
        echoBuffer[f * 2 + 1] += outR * score.echoFeedback;
        dryBuffer[f * 2] += outL;
        dryBuffer[f * 2 + 1] += outR;
    }

    std::vector<double> loop(loopFrames * 2);
    HighPass dcLeft;
    HighPass dcRight;
    for (std::size_t f = 0; f < dry.frames(); ++f) {
        const double left = dcLeft.process(dryBuffer[f * 2], kDcBlockHz, sampleRate);
        const double right = dcRight.process(dryBuffer[f * 2 + 1], kDcBlockHz, sampleRate);
        if (f >= loopFrames) {
            loop[(f - loopFrames) * 2] = left;
            loop[(f - loopFrames) * 2 + 1] = right;
        }
    }
    return loop;
}

} // namespace assetgen::audio
