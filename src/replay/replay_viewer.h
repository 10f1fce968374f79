#pragma once
// Watching a replay in the game's window: Main's feed. The recorded frames play at the pace
// they were recorded, with their sounds; SPACE pauses, LEFT and RIGHT jump five seconds, F
// plays four times faster, ESC ends. A jump back starts the game again from the recorded seed
// and runs ahead, silent and undrawn, to the moment asked for. No live key reaches the game.
#include "app/frame_hooks.h"
#include "replay/replay.h"
#include "replay/replay_playback.h"

#include <cstdint>
#include <string>

namespace zindle {

class ReplayViewer : public FrameFeed {
public:
    // Installs itself as Main's feed and a checker as Main's tap; the random source must
    // already be seeded with replay's seed when the game starts.
    static void install(Replay replay, std::string name);

    ReplayViewer(Replay replay, std::string name);

    void enterFrame(Main& main) override;
    void key(int keyCode, bool down) override;

    static constexpr double kJumpSeconds = 5;
    static constexpr double kFastSpeed = 4;

    // Where playback stands, in steps since the first join.
    std::uint64_t matchStep() const;
    bool paused() const { return paused_; }
    double speed() const { return speed_; }
    // Runs to matchStep (clamped to the match) as fast as possible, silent and undrawn but for
    // its last frame. Backwards starts the game again from the seed.
    void seek(Main& main, std::uint64_t matchStep);

private:
    void anchor();
    void reportMismatch();

    Replay replay_;
    std::string name_;
    ReplayCursor cursor_;
    ReplayChecker* checker_ = nullptr; // owned by Main::tap
    bool started_ = false;
    bool paused_ = false;
    bool endReported_ = false;
    bool mismatchReported_ = false;
    double speed_ = 1;
    double pendingJump_ = 0; // seconds, done at the next frame
    double anchorTime_ = 0;  // clock time at which playback stood at anchorStep_
    std::uint64_t anchorStep_ = 0;
};

} // namespace zindle
