#pragma once
// Turning a match into the bytes of a replay file: the header, and the tokens of frames,
// inputs and checksums, merged into runs as they come, cut into checked blocks.
#include "app/input_record.h"
#include "replay/replay.h"

#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

namespace zindle {

class ReplayEncoder {
public:
    // An input that reaches the game before the next frame's steps.
    void input(const InputRecord& record);
    // A frame ends after steps steps (0 to Main::STEP_LIMIT).
    void frame(int steps);
    // The state after the last step that made the step count a multiple of 300; written
    // straight after the frame that ran that step.
    void checksum(std::uint64_t value);
    void end();
    // The tokens so far (the open run closed), handed over and forgotten.
    std::vector<std::uint8_t> take();
    // Bytes of tokens held (the open run not counted).
    std::size_t size() const { return out_.size(); }

private:
    void closeRun();

    std::vector<std::uint8_t> out_;
    std::unordered_map<std::int32_t, std::int64_t> lastAxis_; // native value by device
    int runSteps_ = 0;
    std::uint32_t runCount_ = 0;
};

// The signature, the format version and the header with its CRC.
std::vector<std::uint8_t> encodeReplayHeader(const ReplayHeader& header);
// One block: length, CRC, then the tokens.
std::vector<std::uint8_t> encodeReplayBlock(std::span<const std::uint8_t> tokens);

} // namespace zindle
