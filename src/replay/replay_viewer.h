#pragma once
// Watching a replay in the game's window: Main's feed. The recorded frames play at the pace
// they were recorded, with their sounds, under a clock, the speed and a timeline bar. SPACE
// (or a pad's lower face button) pauses; LEFT and RIGHT (the D-pad) jump five seconds, with
// SHIFT thirty; UP and DOWN (Start cycles) choose a speed from half to eight times; while
// paused, '.' (or the D-pad's right) steps one frame; ESC ends. A tap on the bar jumps there,
// anywhere else pauses. A jump goes back to the latest keyframe before the moment asked for
// (the match saved every few seconds as playback passed) or, before the first, starts the game
// again from the recorded seed; from there it runs ahead, silent and undrawn. No live key
// reaches the game.
#include "loop/frame_hooks.h"
#include "match/match_snapshot.h"
#include "replay/replay.h"
#include "replay/replay_checker.h"
#include "replay/replay_cursor.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zindle {

class Sprite;

class ReplayViewer : public FrameFeed {
public:
    // Installs itself as Main's feed and a checker as Main's tap; the random source must
    // already be seeded with replay's seed when the game starts.
    static void install(Replay replay, std::string name);

    ReplayViewer(Replay replay, std::string name);
    // The overlay's layer stays on Main, empty.
    ~ReplayViewer() override;

    void enterFrame(Main& main) override;
    void input(const InputRecord& record) override;

    // Called by ESC instead of ending the program: watching chosen from the game's menu goes
    // back to it. Called from inside the viewer: it must not destroy the viewer there and then.
    std::function<void()> leave;
    // The file being watched (as named when installed).
    const std::string& name() const { return name_; }

    static constexpr double kJumpSeconds = 5;
    static constexpr double kLongJumpSeconds = 30;
    static constexpr double kFastSpeed = 4; // F switches between it and 1
    static constexpr std::array<double, 5> kSpeeds{0.5, 1, 2, 4, 8};
    // A keyframe is kept every this many seconds of match played through. Past kMaxKeyframes,
    // every other one goes and the spacing doubles: memory stays bounded in any length of
    // match (a keyframe of ordinary play holds some tens of kilobytes).
    static constexpr double kKeyframeSeconds = 5;
    static constexpr std::size_t kMaxKeyframes = 256;

    // Where playback stands, in steps since the first join.
    std::uint64_t matchStep() const;
    bool paused() const { return paused_; }
    double speed() const { return speed_; }
    // The match's length, in steps from the first join.
    std::uint64_t matchSteps() const;
    // A touch at (x, y) on the stage: on the timeline bar it jumps there, elsewhere it pauses
    // or resumes.
    void tap(double x, double y);
    // What the overlay says now: "1:05.3 / 4:56.0", and "PAUSED" or the speed ("1/2X", "8X").
    std::string clockText() const;
    std::string speedText() const;
    // How many of the bar's pips are lit (played).
    int litPips() const;
    static constexpr int kBarPips = 36;
    // Runs to matchStep (clamped to the match) as fast as possible, silent and undrawn but for
    // its last frame. Backwards starts the game again from the seed.
    void seek(Main& main, std::uint64_t matchStep);
    // While playback runs ahead to where it is to start (a long session before the match), the
    // window still answers: each displayed frame runs ahead for about this long at most (its
    // last few frames are not timed). Tests set 0: a fixed number of frames a slice.
    static inline double runAheadSliceSeconds = 0.05;
    bool preparing() const { return seekTarget_.has_value(); }
    std::size_t keyframes() const { return keyframes_.size(); }

private:
    struct Keyframe {
        ReplayCursor::Position at;
        MatchSnapshot match;
        double musicSeconds = 0; // how far into its track the music was
    };

    void anchor();
    // Aims a seek at matchStep: from the nearest keyframe (or the seed) when that is nearer.
    void startSeek(std::uint64_t matchStep);
    // Works at the seek under way until its target is drawn (true) or, with a slice, until the
    // slice's wall time is spent (false: more to do next frame).
    bool advanceSeek(Main& main, std::optional<double> sliceSeconds);
    void changeSpeed(int by);
    void setSpeed(double speed);
    // The clock, the speed and the bar over the match, on a layer of their own that is redrawn
    // every frame (the match's picture stands still while paused).
    void drawOverlay(Main& main);
    void reportMismatch();
    void playNext(Main& main);
    // Where a seek to target starts from: the latest keyframe before it, restored, when that
    // is nearer than the cursor; the seed when the target lies behind every keyframe.
    void jumpNear(std::uint64_t target);

    Replay replay_;
    std::string name_;
    ReplayCursor cursor_;
    ReplayChecker* checker_ = nullptr; // owned by Main::tap
    bool started_ = false;
    bool paused_ = false;
    bool endReported_ = false;
    bool mismatchReported_ = false;
    double speed_ = 1;
    double pendingJump_ = 0;                   // seconds, done at the next frame
    std::optional<std::uint64_t> pendingSeek_; // match step, done at the next frame
    bool pendingFrameStep_ = false;
    int padDirection_ = 0;      // where the D-pad or stick stood: -1, 0 or 1
    Sprite* overlay_ = nullptr; // owned by overlayOwner_, a child of it
    Main* overlayOwner_ = nullptr;
    double anchorTime_ = 0; // clock time at which playback stood at anchorStep_
    std::uint64_t anchorStep_ = 0;
    std::vector<Keyframe> keyframes_;         // by step, increasing
    std::uint64_t keyframeSpacing_;           // steps
    std::optional<std::uint64_t> seekTarget_; // the step a seek under way runs to
};

} // namespace zindle
