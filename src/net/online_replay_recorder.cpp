// An online match's confirmed ticks as replay frames: a tick's records before its steps, its
// steps gathered into frames of the usual length, and a checksum after every second.
#include "net/online_replay_recorder.h"

#include "net/rollback_session.h"
#include "replay/replay_format.h"

namespace zindle::net {
namespace fmt = replay_format;

static_assert(fmt::kStepsPerChecksum % kStepsPerTick == 0,
              "every second must end with a whole tick, whose end state is confirmed");

OnlineReplayRecorder::OnlineReplayRecorder(const ReplayHeader& header, Write write, Log log)
    : write_(std::move(write)), log_(std::move(log)), header_(encodeReplayHeader(header)) {}

void OnlineReplayRecorder::roundStarted(std::span<const std::uint8_t> state) {
    if (finished_)
        return;
    if (state.size() > fmt::kMaxStateBytes) {
        // No game is in such a state, and no reader would take the file: the recording ends
        // with the rounds before, and says so.
        if (log_)
            log_("the recording stops: a round starts from a match state of " +
                 std::to_string(state.size()) + " bytes, larger than any game makes (" +
                 std::to_string(fmt::kMaxStateBytes) + ")");
        finish();
        return;
    }
    // The last round's ticks that were never confirmed are no part of the match any more.
    flushFrame();
    waiting_.clear();
    before_ = {};
    // Written with the round's first tick: a round that ends before any is confirmed leaves
    // nothing, and the next round's state is the one that counts.
    pendingState_.assign(state.begin(), state.end());
    inRound_ = true;
}

void OnlineReplayRecorder::confirmedInputs(std::uint64_t tick, const SeatInputs& inputs) {
    if (inRound_ && !finished_)
        waiting_[tick] = inputs;
}

void OnlineReplayRecorder::confirmedState(std::uint64_t tick, std::uint64_t checksum) {
    // The state at tick's start is the one after tick - 1: that tick is now final.
    if (!inRound_ || finished_ || tick == 0)
        return;
    const auto done = waiting_.find(tick - 1);
    if (done == waiting_.end())
        return;
    if (!pendingState_.empty()) {
        // A fountain's state is large: it starts a block of its own rather than overfill one.
        if (encoder_.size() + pendingState_.size() > fmt::kMaxBlockBytes / 2)
            writeBlock();
        encoder_.state(pendingState_);
        pendingState_.clear();
        // Rounds in quick succession must not outgrow a block.
        if (encoder_.size() > fmt::kMaxBlockBytes / 2)
            writeBlock();
    }
    std::vector<InputRecord> records;
    for (int seat = 0; seat < kSeats; ++seat)
        for (const InputRecord& record : seatRecords(seat, before_[seat], done->second[seat]))
            records.push_back(record);
    before_ = done->second;
    waiting_.erase(waiting_.begin(), std::next(done));
    if (!records.empty())
        flushFrame(); // a frame's records reach the game before its first step
    for (const InputRecord& record : records)
        encoder_.input(record);
    frameSteps_ += kStepsPerTick;
    steps_ += kStepsPerTick;
    if (steps_ % fmt::kStepsPerChecksum == 0) {
        flushFrame();
        encoder_.checksum(checksum);
        writeBlock();
    } else if (frameSteps_ >= fmt::kNominalSteps) {
        flushFrame();
    }
}

void OnlineReplayRecorder::finish() {
    if (finished_)
        return;
    flushFrame();
    // A replay holds at least one frame: a match left before any tick was confirmed has none.
    if (frames_ > 0)
        encoder_.end();
    writeBlock();
    finished_ = true;
}

void OnlineReplayRecorder::flushFrame() {
    if (frameSteps_ == 0)
        return;
    encoder_.frame(frameSteps_);
    frameSteps_ = 0;
    ++frames_;
}

void OnlineReplayRecorder::writeBlock() {
    auto tokens = encoder_.take();
    if (failed_ || tokens.empty())
        return;
    // The file begins with the first block, so that a match with no confirmed tick leaves none.
    if (!header_.empty()) {
        failed_ = !write_(header_);
        header_.clear();
    }
    if (!failed_)
        failed_ = !write_(encodeReplayBlock(tokens));
}

} // namespace zindle::net
