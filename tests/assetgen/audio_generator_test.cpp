// The parts of the audio generator whose faults would not show in the committed files at once:
// the score reader's checks, the sequencer's wrap-around, the limiter and the synthesizer's
// determinism.
#include "audio/data_file.h"
#include "audio/levels.h"
#include "audio/score.h"
#include "audio/sequencer.h"
#include "audio/sfx_synth.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace {

using namespace assetgen::audio;

class TempFile {
public:
    explicit TempFile(const std::string& text)
        : path_(std::filesystem::temp_directory_path() /
                ("zindle_audio_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++) +
                 ".txt")) {
        std::ofstream(path_) << text;
    }
    ~TempFile() { std::filesystem::remove(path_); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    static inline int counter_ = 0;
    std::filesystem::path path_;
};

// 441 samples per step at 44.1 kHz: 100 steps a second.
const std::string kTrack = "[track]\nfile = t.mp3\ntempo = 1500\nsteps_per_beat = 4\n";

std::string errorOf(const std::string& text) {
    TempFile file(text);
    try {
        Score::read(file.path());
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "";
}

TEST(AudioScoreTest, ExpandsTranspositionsAndRepeatsIntoNotes) {
    TempFile file(kTrack + "transpose = 2\n[voice lead]\n[pattern p]\nC4 . - E4\n"
                           "[song]\nlead = p p^12*2\n");
    const Score score = Score::read(file.path());
    ASSERT_EQ(score.totalSteps, 12);
    const auto& events = score.voices.at(0).events;
    ASSERT_EQ(events.size(), 6u);
    EXPECT_EQ(events[0].step, 0);
    EXPECT_EQ(events[0].length, 2);    // the "." holds it, the "-" ends it
    EXPECT_EQ(events[0].midiNote, 62); // C4 is 60, the track transposes by 2
    EXPECT_EQ(events[1].step, 3);
    EXPECT_EQ(events[1].midiNote, 66);
    EXPECT_EQ(events[2].midiNote, 74); // the pattern an octave up
    EXPECT_EQ(events[4].step, 8);
}

TEST(AudioScoreTest, RejectsMistakesWithTheirPlace) {
    EXPECT_NE(errorOf(kTrack + "[voice a]\n[voice b]\n[pattern p]\nC4 .\n[song]\na = p\nb = p*2\n")
                  .find("voice b has 4 steps"),
              std::string::npos);
    EXPECT_NE(errorOf(kTrack + "[voice a]\n[pattern p]\nC4 H4\n[song]\na = p\n").find("\"H4\""),
              std::string::npos);
    EXPECT_NE(errorOf(kTrack + "[voice a]\n[song]\na = missing\n").find("no [pattern missing]"),
              std::string::npos);
    EXPECT_NE(errorOf(kTrack + "[voice d]\nkind = drums\n[pattern p]\nkx\n[song]\nd = p\n")
                  .find("unknown drum"),
              std::string::npos);
    EXPECT_NE(errorOf("stray = 1\n").find(":1: line before the first [section]"),
              std::string::npos);
    // A step that is not a whole number of samples would make the loop drift.
    TempFile odd("[track]\nfile = t.mp3\ntempo = 97\n[voice a]\n[pattern p]\nC4\n[song]\na = p\n");
    EXPECT_THROW(samplesPerStep(Score::read(odd.path()), 44100), std::runtime_error);
}

TEST(AudioSequencerTest, ANoteRingingOverTheEndSoundsAtTheStart) {
    // One note on the last of 100 steps, with a long release: the loop's first samples must
    // carry its tail, and a silent stretch in the middle must stay silent.
    TempFile file(kTrack + "echo_feedback = 0\n[voice lead]\nwave = sine\nrelease = 0.2\n"
                           "[pattern p]\n- . . . . . . . . . . . . . . . . . . . . . . . . \n"
                           "[pattern last]\n- . . . . . . . . . . . . . . . . . . . . . . . C5\n"
                           "[song]\nlead = p*3 last\n");
    const Score score = Score::read(file.path());
    const std::vector<double> loop = renderScore(score, 44100);
    ASSERT_EQ(loop.size(), 100u * 441u * 2u);
    double head = 0.0;
    double middle = 0.0;
    for (std::size_t i = 0; i < 441 * 5; ++i) {
        head = std::max(head, std::fabs(loop[i]));
        middle = std::max(middle, std::fabs(loop[loop.size() / 2 + i]));
    }
    EXPECT_GT(head, 0.01);
    EXPECT_LT(middle, 1e-6);
}

TEST(AudioLevelsTest, LimiterHoldsTheCeilingAndLeavesQuietSoundAlone) {
    std::vector<double> quiet(2000);
    std::vector<double> loud(2000);
    for (std::size_t i = 0; i < quiet.size(); ++i) {
        quiet[i] = 0.3 * std::sin(0.05 * static_cast<double>(i));
        loud[i] = (i > 1000 && i < 1010 ? 3.0 : 0.5) * std::sin(0.05 * static_cast<double>(i));
    }
    const std::vector<double> before = quiet;
    limitPeaks(quiet, 44100, 0.9);
    EXPECT_EQ(quiet, before);
    limitPeaks(loud, 44100, 0.9);
    EXPECT_LE(peakOf(loud), 0.9 + 1e-12);
    EXPECT_GT(peakOf(loud), 0.5); // turned down around the spike, not everywhere
}

TEST(AudioSynthTest, SameSeedSameSoundOtherSeedOtherNoise) {
    SfxPreset preset;
    preset.wave = Wave::Noise;
    preset.frequency = 2000.0;
    preset.slide = -2.0;
    const auto first = renderSfx(preset, 44100);
    EXPECT_EQ(first, renderSfx(preset, 44100));
    preset.seed = 2;
    EXPECT_NE(first, renderSfx(preset, 44100));
}

TEST(AudioSynthTest, PresetRejectsUnknownKeys) {
    TempFile file("[variant jump 1]\nfrequncy = 300\n");
    const DataFile data = DataFile::read(file.path());
    SfxPreset preset;
    EXPECT_THROW(preset.apply(data.sections.at(0)), std::runtime_error);
}

} // namespace
