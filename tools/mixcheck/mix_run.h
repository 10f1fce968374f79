#pragma once
// A match played through the real mixer: the headless program (seeded computer players) whose
// sounds go to SDL2_mixer on SDL's audio device, the game's clock tied to the sound actually
// mixed. The mixer's hook runs the game's frames between two blocks, so every sound starts in
// the block after the moment the game asked for it, as it does when the game runs in real time,
// and the run takes only as long as the machine needs.
#include "loudness.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zindle::mixcheck {

struct MixRunConfig {
    std::uint64_t seed = 1;
    std::vector<int> aiPlayers; // none: the title screen
    double seconds = 300;       // of game time
    bool music = true;          // false: the music plays at volume 0
    bool effects = true;        // false: the effects play at volume 0
    std::filesystem::path dataRoot;
    std::string recordTo = "/dev/null"; // SDL's disk audio file (raw 16-bit stereo, 44.1 kHz)
};

struct SoundStart {
    std::int64_t frame; // sample frame of the recording at which it begins
    std::string family; // "pickup_coin", ..., or "music"
};

struct MixRecording {
    LoudnessRecorder out{44100};    // what leaves the limiter
    std::uint64_t sumSamples = 0;   // samples of the sum ahead of the limiter ...
    std::uint64_t sumFullScale = 0; // ... and how many of them the mixer clamped
    std::vector<SoundStart> starts; // every start the game asked for, joined ones too
};

// Plays the run; throws what the game throws, or when no audio device opens.
MixRecording recordMix(const MixRunConfig& config);

} // namespace zindle::mixcheck
