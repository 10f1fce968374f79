#pragma once
// The match recorder: Main's tap in live play. It keeps every frame since the game started
// (a match depends on all of them), and when a player first joins it opens a replay file,
// writes that history and then the match as it goes, a block about every second, until the
// title is fully shown again. Recording only reads the game: it draws no random numbers.
#include "loop/frame_hooks.h"
#include "replay/replay_folder.h"
#include "replay/replay_writer.h"

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

namespace zindle {

class Game;

class ReplayRecorder : public MatchTap {
public:
    struct Options {
        std::filesystem::path folder; // empty: keep the history, write nothing
        std::filesystem::path file;   // instead of a name in folder: this file, first match only
        std::uint64_t seed = 0;       // the seed the random source started from
        std::function<const Game*()> game; // the running game, or null
        std::function<std::time_t()> now = [] { return std::time(nullptr); };
        std::size_t keepFiles = kReplaysKept;
        std::uintmax_t keepBytes = kReplayBytesKept;
    };

    explicit ReplayRecorder(Options options);
    // A match still open stays as written: a replay that stops early, but plays.
    ~ReplayRecorder() override;

    void input(const InputRecord& record) override;
    void stepped() override;
    void frameEnded(int steps) override;

    // The file of the match being recorded, or of the last one; empty before any.
    const std::filesystem::path& lastFile() const { return path_; }
    bool recording() const { return file_ != nullptr; }
    // A replay of its own, of the last match to have started, up to the last frame: the
    // header, everything so far, no end token (it plays as a replay that stops early). The
    // open second is closed as a block first, in the recording too. False, saying why in
    // problem, before any match or when the copy cannot be written.
    bool saveCopy(const std::filesystem::path& path, std::string& problem);
    // Seconds of the last match so far, from its first join (the clock zindle --replay shows).
    double matchSeconds() const;
    // The name of this build's compiler and kind of build, for the header.
    static std::string build();

private:
    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };

    void closePiece();
    void startMatch();
    // The header and the history so far; false when writing failed.
    bool writeStart();
    // The header and the history so far through write; false when it failed.
    bool writeHistory(const std::function<bool(std::span<const std::uint8_t>)>& write) const;
    void finishMatch();
    bool write(std::span<const std::uint8_t> bytes);
    void stopRecording(const std::string& why);

    Options options_;
    ReplayEncoder encoder_;
    // Every token since the game started, and where the blocks already written end.
    std::vector<std::uint8_t> history_;
    std::vector<std::size_t> pieceEnds_;
    std::vector<std::uint64_t> dueChecksums_;
    std::uint64_t steps_ = 0;
    std::uint64_t frames_ = 0;
    std::time_t startTime_ = 0;
    bool matchStarted_ = false;
    std::uint64_t joinFrame_ = 0; // frames before the first join of the last match
    std::uint64_t joinStep_ = 0;  // steps before it
    bool disabled_ = false;
    bool inMatch_ = false;
    std::unique_ptr<std::FILE, FileCloser> file_;
    std::filesystem::path path_;
};

} // namespace zindle
