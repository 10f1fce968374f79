#pragma once
// A recorded match as the program holds it: who made it, the seed, and every frame since the
// game started (its inputs and its number of steps), with a checksum of the whole match state
// once a second. The file format is in replay_format.h.
#include "input/input_record.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zindle {

struct ReplayHeader {
    std::uint64_t seed = 0;
    std::int64_t date = 0;       // seconds since 1970 (UTC) when the match began
    std::uint32_t joinFrame = 0; // the frame in which the first player joined
    std::string gameVersion;     // the game that recorded it
    std::string build;           // compiler and build type of that game
    // Set when drawing had a random stream of its own (online play): the viewer draws from the
    // same one, so that drawing takes nothing from the match's stream.
    std::optional<std::uint64_t> drawingSeed;
};

// A whole match state (the match state codec's bytes) that replaces the game's before frame
// frame (counted from the recording's start) runs.
struct ReplayState {
    std::uint64_t frame = 0;
    std::vector<std::uint8_t> bytes;
};

// count frames with the same number of steps; the run's inputs reach the game before its first
// frame (a frame with inputs starts a run).
struct FrameRun {
    std::uint32_t count = 0;
    std::uint32_t steps = 0;
    std::uint32_t firstInput = 0; // index into Replay::inputs
    std::uint32_t inputCount = 0;
};

struct Replay {
    std::uint16_t formatVersion = 0; // of the file it was read from
    ReplayHeader header;
    std::vector<FrameRun> runs;
    std::vector<InputRecord> inputs;
    // checksums[k]: the match state after step 300 (k + 1) since the game started.
    std::vector<std::uint64_t> checksums;
    std::vector<ReplayState> states; // by frame, at most one a frame
    bool finished = false;           // false: the recording stops early (the game ended mid-match)
    // The file ended inside a block (a full disk, a copy cut short): the whole blocks before it
    // are read and the partial one is left out, as a recording killed there would be.
    struct Cut {
        std::size_t wholeBlocks = 0; // blocks read
        std::size_t bytesLeft = 0;   // bytes of the partial block that were not read
    };
    std::optional<Cut> cut;
    std::uint64_t frames = 0;   // all frames, from the game's start
    std::uint64_t steps = 0;    // all steps, from the game's start
    std::uint64_t joinStep = 0; // steps before the join frame
};

} // namespace zindle
