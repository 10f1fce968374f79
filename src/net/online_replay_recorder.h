#pragma once
// Recording an online match as a replay: only confirmed ticks, which every peer played alike.
// Each round begins with the match state it started from; a tick's records and steps are
// written once the state after it is confirmed, so that each second's checksum is final.
#include "net/rollback_input.h"
#include "replay/replay.h"
#include "replay/replay_writer.h"

#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace zindle::net {

class OnlineReplayRecorder {
public:
    // write takes the file's bytes in order (the header with the first block, then a block a
    // second) and says whether it kept them; after a failure nothing more is written.
    using Write = std::function<bool(std::span<const std::uint8_t>)>;
    // Says why the recording ends early, when it does.
    using Log = std::function<void(const std::string&)>;
    OnlineReplayRecorder(const ReplayHeader& header, Write write, Log log = {});

    // A round starts from state (the codec's bytes), with every seat's input released.
    void roundStarted(std::span<const std::uint8_t> state);
    void confirmedInputs(std::uint64_t tick, const SeatInputs& inputs);
    void confirmedState(std::uint64_t tick, std::uint64_t checksum);
    // The match is over: the open second and the end are written.
    void finish();

    bool failed() const { return failed_; }

private:
    void flushFrame();
    void writeBlock();

    Write write_;
    Log log_;
    std::vector<std::uint8_t> header_; // until the first block is written
    std::vector<std::uint8_t> pendingState_;
    ReplayEncoder encoder_;
    bool failed_ = false;
    bool finished_ = false;
    bool inRound_ = false;
    SeatInputs before_{};
    std::map<std::uint64_t, SeatInputs> waiting_; // confirmed inputs of ticks not yet written
    std::uint64_t steps_ = 0;                     // steps written since the recording began
    int frameSteps_ = 0;                          // steps of the frame still open
    std::uint64_t frames_ = 0;
};

} // namespace zindle::net
