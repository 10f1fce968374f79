#pragma once
// Turning a match into the bytes of a replay file: the header, and the tokens of frames,
// inputs and checksums, merged into runs as they come, cut into checked blocks.
#include "input/input_record.h"
#include "replay/axis_history.h"
#include "replay/replay.h"
#include "replay/replay_format.h"

#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

namespace zindle {

class ReplayEncoder {
public:
    // Tokens of the given format version (older versions lack the curve tokens).
    explicit ReplayEncoder(std::uint16_t version = replay_format::kVersion) : version_(version) {}

    // An input that reaches the game before the next frame's steps.
    void input(const InputRecord& record);
    // A frame ends after steps steps (0 to Main::STEP_LIMIT).
    void frame(int steps);
    // The state after the last step that made the step count a multiple of 300; written
    // straight after the frame that ran that step.
    void checksum(std::uint64_t value);
    void end();
    // A whole match state that the game takes before the next frame (format 3 on).
    void state(std::span<const std::uint8_t> bytes);
    // The tokens so far (the open run closed), handed over and forgotten.
    std::vector<std::uint8_t> take();
    // Bytes of tokens held (the open run not counted).
    std::size_t size() const { return out_.size(); }

private:
    void closeRun();
    void axis(const InputRecord& record);

    std::uint16_t version_;
    std::vector<std::uint8_t> out_;
    std::unordered_map<std::int32_t, AxisHistory> axes_; // native values by device
    // Where the last token is a curve token that a nominal frame may be folded into.
    std::size_t foldableAt_ = kNoToken;
    static constexpr std::size_t kNoToken = static_cast<std::size_t>(-1);
    int runSteps_ = 0;
    std::uint32_t runCount_ = 0;
};

// The signature, the format version and the header with its CRC.
std::vector<std::uint8_t> encodeReplayHeader(const ReplayHeader& header,
                                             std::uint16_t version = replay_format::kVersion);
// One block: length, CRC, then the tokens.
std::vector<std::uint8_t> encodeReplayBlock(std::span<const std::uint8_t> tokens);

} // namespace zindle
