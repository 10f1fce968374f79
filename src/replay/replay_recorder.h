#pragma once
// The match recorder: Main's tap in live play. Between matches it keeps the game's whole state
// as each frame begins; when a player first joins it opens a replay file that begins with that
// state, then writes the match as it goes, a block about every second, until the title is
// fully shown again. However long the game ran before, the replay holds only its match.
// Recording only reads the game: it draws no random numbers.
#include "loop/frame_hooks.h"
#include "match/match_snapshot.h"
#include "replay/replay_folder.h"
#include "replay/replay_writer.h"

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
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
        // Shows a line where the player looks (the screen): a match that is not recorded, or
        // whose recording stopped, is said there as well as on standard output.
        std::function<void(const std::string&)> tell;
    };

    explicit ReplayRecorder(Options options);
    // A match still open stays as written: a replay that stops early, but plays.
    ~ReplayRecorder() override;

    void input(const InputRecord& record) override;
    void stepped() override;
    void frameEnded(int steps) override;
    void frameDrawn() override;

    // The file of the match being recorded, or of the last one; empty before any.
    const std::filesystem::path& lastFile() const { return path_; }
    bool recording() const { return file_ != nullptr; }
    // A replay of its own, of the last match to have started, up to the last frame: the
    // header, the match so far, no end token (it plays as a replay that stops early). The
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
    // The state before this frame's inputs, while no match is on.
    void captureFrameStart();
    // The join frame: the state taken before it, and the frames since, open the match.
    void beginMatch(int steps);
    void startMatch();
    // The header and the match so far; false when writing failed.
    bool writeStart();
    // The header and the match so far through write; false when it failed.
    bool writeHistory(const std::function<bool(std::span<const std::uint8_t>)>& write) const;
    void finishMatch();
    bool write(std::span<const std::uint8_t> bytes);
    void stopRecording(const std::string& why);
    void notWritten(); // the file could not be opened (errno)
    // One line on standard output ("Replay FILE: problem"), and on the screen through tell.
    void report(const std::string& subject, const std::string& problem, const std::string& shown);

    Options options_;
    ReplayEncoder encoder_;
    // Every token of the match since its join, and where the blocks already written end.
    std::vector<std::uint8_t> history_;
    std::vector<std::size_t> pieceEnds_;
    std::vector<std::uint64_t> dueChecksums_;
    std::uint64_t steps_ = 0;      // since the game started
    std::uint64_t matchSteps_ = 0; // since the last match's join frame began
    std::time_t startTime_ = 0;
    bool matchStarted_ = false;
    std::uint64_t joinStep_ = 0; // steps before the last match's join frame
    // Between matches: the state taken after a frame was drawn (or at the game's start), and
    // the frames since, the one under way last. Frames without steps keep the state they
    // began from (the very first one does), so that a match that starts at once is recorded
    // from the game's start.
    struct PendingFrame {
        std::vector<InputRecord> inputs;
        int steps = 0;
    };
    MatchSnapshot frameStart_;
    bool frameStartValid_ = false;
    std::vector<std::uint8_t> frameStartBytes_;
    std::vector<PendingFrame> pending_;
    bool disabled_ = false; // this match is not recorded any further
    bool toldNoFolder_ = false;
    bool inMatch_ = false;
    std::unique_ptr<std::FILE, FileCloser> file_;
    std::filesystem::path path_;
};

} // namespace zindle
