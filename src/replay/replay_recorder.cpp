// Recording: tokens into the history as the game runs; a file from the first join, blocks
// written and flushed once a second, the end token when the title is back.
#include "replay/replay_recorder.h"

#include "base/rules.h"
#include "base/version.h"
#include "match/game.h"
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
    if (!disabled_)
        encoder_.input(record);
}

void ReplayRecorder::stepped() {
    ++steps_;
    if (disabled_ || steps_ % fmt::kStepsPerChecksum != 0)
        return;
    const Game* game = options_.game ? options_.game() : nullptr;
    dueChecksums_.push_back(game ? stateChecksum(*game) : 0);
}

void ReplayRecorder::frameEnded(int steps) {
    if (disabled_)
        return;
    encoder_.frame(steps);
    ++frames_;
    const bool checksummed = !dueChecksums_.empty();
    for (std::uint64_t c : dueChecksums_)
        encoder_.checksum(c);
    dueChecksums_.clear();

    if (steps_ > fmt::kMaxSteps || history_.size() > fmt::kMaxFileBytes / 2) {
        // A replay holds the whole session; past what a reader accepts, none can.
        std::cout << "Replays: this session is too long to record further matches" << std::endl;
        stopRecording("the session is too long");
        disabled_ = true;
        history_ = {};
        pieceEnds_ = {};
        return;
    }
    if (checksummed || encoder_.size() > kMaxPieceBytes)
        closePiece();

    const Game* game = options_.game ? options_.game() : nullptr;
    if (!game)
        return;
    if (!inMatch_ && !game->heroes.empty()) {
        inMatch_ = true;
        matchStarted_ = true;
        joinFrame_ = frames_ - 1;
        joinStep_ = steps_ - static_cast<std::uint64_t>(steps);
        startMatch();
    } else if (inMatch_ && game->heroes.empty() && game->titleAlpha >= 1 &&
               game->gameTimeout >= 1) {
        inMatch_ = false;
        finishMatch();
    }
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
            std::cout << "Replay " << path_.string()
                      << ": cannot be written: " << std::strerror(errno) << std::endl;
            return;
        }
        writeStart();
        return;
    }
    if (options_.folder.empty())
        return;
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
        std::cout << "Replay " << path_.string() << ": cannot be written: " << std::strerror(errno)
                  << std::endl;
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
    header.joinFrame = static_cast<std::uint32_t>(joinFrame_);
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
        problem = disabled_ ? "the session is too long to record" : "no match has started";
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

void ReplayRecorder::stopRecording(const std::string& why) {
    if (file_)
        std::cout << "Replay " << path_.string() << ": recording stopped: " << why << std::endl;
    file_.reset();
}

} // namespace zindle
