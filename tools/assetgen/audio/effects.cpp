// Rendering each effect variant of the preset file through the synthesizer and the finishing
// steps, and writing it as a wav.
#include "audio/effects.h"

#include "audio/data_file.h"
#include "audio/levels.h"
#include "audio/sfx_synth.h"
#include "audio/wav_writer.h"

#include <algorithm>
#include <stdexcept>

namespace assetgen::audio {
namespace {

constexpr int kLevellingRounds = 2;

// Levelling, overridable in the file's [master] section.
struct Master {
    double loudnessDb = -10.0; // short-term loudness every effect is brought to ...
    double peakDb = -1.0;      // ... with its peaks limited to this (dBFS)
    double fadeInMs = 1.5;
    double fadeOutMs = 6.0;
};

Master readMaster(const DataFile& file) {
    Master master;
    for (const DataSection* section : file.sectionsOfKind("master")) {
        master.peakDb = numberValue(*section, "peak_db", master.peakDb);
        master.loudnessDb = numberValue(*section, "loudness_db", master.loudnessDb);
        master.fadeInMs = numberValue(*section, "fade_in_ms", master.fadeInMs);
        master.fadeOutMs = numberValue(*section, "fade_out_ms", master.fadeOutMs);
    }
    return master;
}

// The variant sections of one category, by number; a variant without a section is the
// category's preset unchanged.
const DataSection* findVariant(const DataFile& file, const std::string& stem, int n) {
    for (const DataSection* section : file.sectionsOfKind("variant")) {
        const auto words = splitWords(section->name);
        if (words.size() == 3 && words[1] == stem && words[2] == std::to_string(n)) {
            return section;
        }
    }
    return nullptr;
}

EffectReport renderOne(const SfxPreset& preset, const Master& master, const std::string& file,
                       const std::filesystem::path& output) {
    std::vector<double> samples = renderSfx(preset, kEffectSampleRate);
    fadeEnds(samples, kEffectSampleRate, master.fadeInMs, master.fadeOutMs);
    if (peakOf(samples) <= 0.0) {
        throw std::runtime_error(file + ": the preset renders silence");
    }
    // Level by loudness, not by peak: a bare square and a noise burst with the same peak are
    // far apart to the ear. The loud starts of the spiky sounds are then limited to the peak.
    // Limiting takes some loudness away again, so a second round makes up for most of it.
    for (int round = 0; round < kLevellingRounds; ++round) {
        const double loud = loudnessDb(samples, kEffectSampleRate, 1);
        scale(samples, fromDb(master.loudnessDb + preset.gainDb - loud));
        limitPeaks(samples, kEffectSampleRate, fromDb(master.peakDb));
    }

    const auto pcm = toPcm16(samples);
    writeWav(output / file, pcm, kEffectSampleRate, 1);
    return {file, static_cast<double>(samples.size()) / kEffectSampleRate, toDb(peakOf(samples)),
            loudnessDb(samples, kEffectSampleRate, 1)};
}

} // namespace

std::vector<EffectReport> generateEffects(const std::filesystem::path& presets,
                                          const std::filesystem::path& output) {
    const DataFile file = DataFile::read(presets);
    const Master master = readMaster(file);
    std::vector<EffectReport> reports;
    for (const DataSection* category : file.sectionsOfKind("category")) {
        const auto words = splitWords(category->name);
        if (words.size() != 2) {
            throw std::runtime_error(presets.string() + ":" + std::to_string(category->line) +
                                     ": expected [category <stem>]");
        }
        const std::string& stem = words[1];
        const int count = static_cast<int>(numberValue(*category, "count", 0));
        DataSection base = *category;
        base.values.erase("count");
        SfxPreset preset;
        preset.apply(base);
        for (int n = 1; n <= count; ++n) {
            SfxPreset variant = preset;
            if (const DataSection* section = findVariant(file, stem, n)) {
                variant.apply(*section);
            }
            reports.push_back(
                renderOne(variant, master, stem + std::to_string(n) + ".wav", output));
        }
    }
    return reports;
}

} // namespace assetgen::audio
