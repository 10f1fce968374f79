// libFuzzer target for the replay reader: any bytes either parse or are refused with a
// ReplayError; never a crash, a hang or memory beyond the format's bounds.
#include "replay/replay_reader.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const zindle::Replay replay = zindle::parseReplay(std::span(data, size));
        // What parsed must hang together the way playback relies on.
        std::uint64_t frames = 0;
        for (const auto& run : replay.runs) {
            if (run.firstInput + run.inputCount > replay.inputs.size())
                __builtin_trap();
            frames += run.count;
        }
        if (frames != replay.frames || replay.header.joinFrame >= replay.frames)
            __builtin_trap();
    } catch (const zindle::ReplayError&) {
    }
    return 0;
}
