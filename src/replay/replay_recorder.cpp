// Recording: tokens into the history as the game runs; a file from the first join, blocks
// written and flushed once a second, the end token when the title is back.
#include "replay/replay_recorder.h"

#include "base/rules.h"
#include "base/version.h"
#include "match/game.h"
#include "match/match_state_codec.h"
#include "match/state_checksum.h"
#include "replay/replay_folder.h"
#include "replay/replay_format.h"

#include <cerrno>
#include <cstring>
#include <iostream>

namespace zindle {
namespace fmt = replay_format;
namespace {

// A piece of history closes at every checksum, or sooner when inputs flood in.
constexpr std::size_t kMaxPieceBytes = 64u << 10;
// Pieces written together as one block when a file starts with a long history.
constexpr std::size_t kHistoryBlockBytes = 256u << 10;
constexpr int kMaxNameAttempts = 100;

} // namespace

std::string ReplayRecorder::build() {
    std::string compiler;
#if defined(__EMSCRIPTEN__)
    compiler = "Emscripten " __clang_version__;
#elif defined(__clang__)
    compiler = "Clang " __clang_version__;
#elif defined(__GNUC__)
    compiler = "GCC " __VERSION__;
#else
    compiler = "unknown compiler";
#endif
#if defined(__SANITIZE_ADDRESS__)
    compiler += ", sanitizers";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    compiler += ", sanitizers";
#endif
#endif
#ifdef NDEBUG
    compiler += ", optimised";
#else
    compiler += ", debug";
#endif
    return compiler;
}

ReplayRecorder::ReplayRecorder(Options options) : options_(std::move(options)) {}

ReplayRecorder::~ReplayRecorder() {
    // What is left of the open second goes in too; only the end token is missing, and the
    // file plays as a replay that stops early.
    if (file_)
        closePiece();
}

void ReplayRecorder::input(const InputRecord& record) {
    if (inMatch_) {
        if (!disabled_)
            encoder_.input(record);
        return;
    }
    // The very first inputs come before any frame was drawn: the state before them is the
    // game's start.
    if (!frameStartValid_ && steps_ == 0 && pending_.empty())
        captureFrameStart();
    if (pending_.empty() || pending_.back().steps >= 0)
        pending_.push_back({{}, -1}); // a frame under way
    pending_.back().inputs.push_back(record);
}

void ReplayRecorder::stepped() {
    ++steps_;
    if (!inMatch_ || disabled_)
        return;
    if (++matchSteps_ % fmt::kStepsPerChecksum != 0)
        return;
    const Game* game = options_.game ? options_.game() : nullptr;
    dueChecksums_.push_back(game ? stateChecksum(*game) : 0);
}

void ReplayRecorder::frameEnded(int steps) {
    if (!inMatch_) {
        if (!frameStartValid_ && steps_ == 0 && pending_.empty())
            captureFrameStart();
        if (pending_.empty() || pending_.back().steps >= 0)
            pending_.push_back({{}, -1});
        pending_.back().steps = steps;
        const Game* game = options_.game ? options_.game() : nullptr;
        if (game && !game->heroes.empty())
            beginMatch(steps);
        return;
    }
    const Game* game = options_.game ? options_.game() : nullptr;
    if (!disabled_) {
        encoder_.frame(steps);
        const bool checksummed = !dueChecksums_.empty();
        for (std::uint64_t c : dueChecksums_)
            encoder_.checksum(c);
        dueChecksums_.clear();
        if (matchSteps_ > fmt::kMaxSteps || history_.size() > fmt::kMaxFileBytes / 2) {
            // Past what a reader accepts, no replay can hold more of this match.
            stopRecording("the match is too long");
            report("Replays", "this match is too long to record further",
                   "THIS MATCH IS TOO LONG TO RECORD FURTHER");
            disabled_ = true;
            encoder_.take();
            history_ = {};
            pieceEnds_ = {};
        } else if (checksummed || encoder_.size() > kMaxPieceBytes) {
            closePiece();
        }
    }
    if (game && game->heroes.empty() && game->titleAlpha >= 1 && game->gameTimeout >= 1) {
        inMatch_ = false;
        if (!disabled_)
            finishMatch();
        disabled_ = false;
    }
}

void ReplayRecorder::frameDrawn() {
    constexpr std::size_t kMaxPendingFrames = 64;
    if (inMatch_ || (!pending_.empty() && pending_.back().steps == 0 && frameStartValid_ &&
                     pending_.size() < kMaxPendingFrames))
        return;
    captureFrameStart();
}

void ReplayRecorder::captureFrameStart() {
    const Game* game = options_.game ? options_.game() : nullptr;
    frameStartValid_ = game != nullptr;
    if (game)
        frameStart_.capture(*game);
    pending_.clear();
}

void ReplayRecorder::beginMatch(int steps) {
    inMatch_ = true;
    matchStarted_ = true;
    // Frames before the join frame that the file holds have no steps: the join frame's are all.
    joinStep_ = steps_ - static_cast<std::uint64_t>(steps);
    matchSteps_ = static_cast<std::uint64_t>(steps);
    history_.clear();
    pieceEnds_.clear();
    dueChecksums_.clear();
    encoder_ = ReplayEncoder();
    disabled_ = !frameStartValid_;
    if (disabled_) {
        // Only a join in the game's very first frame, after steps no state was taken before.
        report("Replays", "this match is not recorded: it began before the game could be seen",
               "THIS MATCH IS NOT RECORDED");
        return;
    }
    writeMatchState(frameStart_.state(), frameStartBytes_);
    encoder_.state(frameStartBytes_);
    for (const PendingFrame& frame : pending_) {
        for (const InputRecord& record : frame.inputs)
            encoder_.input(record);
        encoder_.frame(frame.steps);
    }
    pending_.clear();
    frameStartValid_ = false;
    startMatch();
}

void ReplayRecorder::closePiece() {
    const std::vector<std::uint8_t> piece = encoder_.take();
    if (piece.empty())
        return;
    history_.insert(history_.end(), piece.begin(), piece.end());
    pieceEnds_.push_back(history_.size());
    if (file_)
        write(encodeReplayBlock(piece));
}

void ReplayRecorder::startMatch() {
    closePiece();
    startTime_ = options_.now();
    if (!options_.file.empty()) {
        if (!path_.empty())
            return; // a file of its own holds one match
        path_ = options_.file;
        file_.reset(std::fopen(path_.c_str(), "wb"));
        if (!file_) {
            notWritten();
            return;
        }
        writeStart();
        return;
    }
    if (options_.folder.empty()) {
        if (!toldNoFolder_)
            report("Replays", std::string("matches are not recorded: ") + kNoReplayFolder,
                   "MATCHES ARE NOT RECORDED: NO FOLDER FOR REPLAYS");
        toldNoFolder_ = true;
        return;
    }
    std::error_code ec;
    std::filesystem::create_directories(options_.folder, ec);
    for (int attempt = 0; attempt < kMaxNameAttempts && !file_; ++attempt) {
        path_ = options_.folder / replayFileName(startTime_, attempt);
        // "x": never over another file, the last match's included.
        file_.reset(std::fopen(path_.c_str(), "wbx"));
        if (!file_ && errno != EEXIST)
            break;
    }
    if (!file_) {
        notWritten();
        return;
    }
    if (writeStart())
        pruneReplays(options_.folder, path_, options_.keepFiles, options_.keepBytes);
}

bool ReplayRecorder::writeStart() {
    return writeHistory([this](std::span<const std::uint8_t> bytes) { return write(bytes); });
}

bool ReplayRecorder::writeHistory(
    const std::function<bool(std::span<const std::uint8_t>)>& write) const {
    ReplayHeader header;
    header.seed = options_.seed;
    header.date = static_cast<std::int64_t>(startTime_);
    header.joinFrame = 0; // the file begins with the join frame
    header.gameVersion = kVersion;
    header.build = build();
    if (!write(encodeReplayHeader(header)))
        return false;
    // The history so far, a few pieces to a block.
    std::size_t begin = 0;
    for (std::size_t i = 0; i < pieceEnds_.size(); ++i) {
        const bool last = i + 1 == pieceEnds_.size();
        if (last || pieceEnds_[i + 1] - begin > kHistoryBlockBytes) {
            const std::span<const std::uint8_t> part(history_.data() + begin,
                                                     pieceEnds_[i] - begin);
            if (!write(encodeReplayBlock(part)))
                return false;
            begin = pieceEnds_[i];
        }
    }
    return true;
}

bool ReplayRecorder::saveCopy(const std::filesystem::path& path, std::string& problem) {
    if (disabled_ || !matchStarted_) {
        problem = matchStarted_ ? "this match is not recorded" : "no match has started";
        return false;
    }
    closePiece();
    std::unique_ptr<std::FILE, FileCloser> copy(std::fopen(path.c_str(), "wb"));
    if (!copy) {
        problem = std::strerror(errno);
        return false;
    }
    const bool written = writeHistory([&copy](std::span<const std::uint8_t> bytes) {
        return std::fwrite(bytes.data(), 1, bytes.size(), copy.get()) == bytes.size();
    });
    const bool closed = std::fclose(copy.release()) == 0;
    if (!written || !closed) {
        problem = std::strerror(errno);
        std::remove(path.c_str());
        return false;
    }
    return true;
}

double ReplayRecorder::matchSeconds() const {
    return matchStarted_ ? static_cast<double>(steps_ - joinStep_) / rules::kStepsPerSecond : 0;
}

void ReplayRecorder::finishMatch() {
    if (!file_) {
        closePiece();
        return;
    }
    std::vector<std::uint8_t> piece = encoder_.take();
    history_.insert(history_.end(), piece.begin(), piece.end());
    pieceEnds_.push_back(history_.size());
    piece.push_back(fmt::kEnd);
    if (!write(encodeReplayBlock(piece)))
        return;
    file_.reset();
    if (options_.file.empty())
        pruneReplays(options_.folder, path_, options_.keepFiles, options_.keepBytes);
}

bool ReplayRecorder::write(std::span<const std::uint8_t> bytes) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size() ||
        std::fflush(file_.get()) != 0) {
        stopRecording(std::strerror(errno));
        return false;
    }
    return true;
}

void ReplayRecorder::notWritten() {
    const std::string why = std::strerror(errno);
    report("Replay " + path_.string(), "cannot be written: " + why, "MATCH NOT RECORDED: " + why);
}

void ReplayRecorder::stopRecording(const std::string& why) {
    if (file_)
        report("Replay " + path_.string(), "recording stopped: " + why,
               "RECORDING STOPPED: " + why);
    file_.reset();
}

void ReplayRecorder::report(const std::string& subject, const std::string& problem,
                            const std::string& shown) {
    std::cout << subject << ": " << problem << std::endl;
    if (options_.tell)
        options_.tell(shown);
}

} // namespace zindle
