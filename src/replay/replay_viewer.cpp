// The replay viewer: pacing recorded frames by the clock, the viewer's keys, and jumps.
#include "replay/replay_viewer.h"

#include "app/main.h"
#include "framework/keyboard.h"
#include "framework/lib.h"
#include "framework/sound.h"
#include "match/game.h"
#include "match/rules.h"
#include "render/tiler.h"
#include "replay/replay_format.h"
#include "replay/replay_notes.h"
#include "sound/music.h"

#include <algorithm>
#include <chrono>
#include <iostream>
#include <memory>

namespace zindle {
namespace {
constexpr double kStepsPerSecond = rules::kStepsPerSecond;
// Recorded frames played in one displayed frame before playback stops catching up with the
// clock (after a stall, as the live game drops its backlog).
constexpr int kMaxFramesPerDisplay = 12;
constexpr int kKeyF = 70;

// Runs ahead without sound or pictures while it lives; the last frame is drawn after it.
struct RunningAhead {
    RunningAhead() {
        Sound::silenced = true;
        Tiler::collecting = false;
    }
    ~RunningAhead() {
        Sound::silenced = false;
        Tiler::collecting = true;
    }
};
} // namespace

void ReplayViewer::install(Replay replay, std::string name) {
    auto viewer = std::make_unique<ReplayViewer>(std::move(replay), std::move(name));
    auto checker = std::make_unique<ReplayChecker>(
        viewer->replay_, [] { return Main::board ? Main::board->match() : nullptr; });
    viewer->checker_ = checker.get();
    Main::tap = std::move(checker);
    Main::feed = std::move(viewer);
}

ReplayViewer::ReplayViewer(Replay replay, std::string name)
    : replay_(std::move(replay)), name_(std::move(name)), cursor_(replay_),
      keyframeSpacing_(static_cast<std::uint64_t>(kKeyframeSeconds * kStepsPerSecond)) {}

std::uint64_t ReplayViewer::matchStep() const {
    return cursor_.step() > replay_.joinStep ? cursor_.step() - replay_.joinStep : 0;
}

void ReplayViewer::anchor() {
    anchorTime_ = Timer::stamp();
    anchorStep_ = cursor_.step();
}

void ReplayViewer::playNext(Main& main) {
    cursor_.playNext(main);
    const std::uint64_t step = cursor_.step();
    if (!keyframes_.empty() && step < keyframes_.back().at.step + keyframeSpacing_)
        return;
    if (keyframes_.empty() && step < keyframeSpacing_)
        return;
    const Game* game = Main::board ? Main::board->match() : nullptr;
    if (!game)
        return;
    keyframes_.push_back({cursor_.position(), {}, Music::trackSeconds});
    keyframes_.back().match.capture(*game);
    if (keyframes_.size() > kMaxKeyframes) {
        // Every other one goes, the latest stays: the spacing doubles everywhere.
        std::size_t kept = 0;
        for (std::size_t i = keyframes_.size() % 2 == 0 ? 1 : 0; i < keyframes_.size(); i += 2)
            keyframes_[kept++] = std::move(keyframes_[i]);
        keyframes_.resize(kept);
        keyframeSpacing_ *= 2;
    }
}

void ReplayViewer::jumpNear(std::uint64_t target) {
    // Strictly before the target, so that the frame reaching it is played and drawn.
    const auto after =
        std::lower_bound(keyframes_.begin(), keyframes_.end(), target,
                         [](const Keyframe& k, std::uint64_t step) { return k.at.step < step; });
    Game* game = Main::board ? Main::board->match() : nullptr;
    if (after != keyframes_.begin() && game) {
        const Keyframe& from = *std::prev(after);
        if (target < cursor_.step() || from.at.step > cursor_.step()) {
            from.match.restore(*game);
            Music::trackSeconds = from.musicSeconds;
            cursor_.moveTo(from.at);
            if (checker_)
                checker_->rewind(from.at.step);
        }
        return;
    }
    if (target < cursor_.step()) {
        Main::restartGame(replay_.header.seed);
        cursor_.rewind();
        if (checker_)
            checker_->rewind();
    }
}

void ReplayViewer::seek(Main& main, std::uint64_t matchStep) {
    startSeek(matchStep);
    advanceSeek(main, std::nullopt);
}

void ReplayViewer::startSeek(std::uint64_t matchStep) {
    const std::uint64_t target = std::min(replay_.joinStep + matchStep, replay_.steps);
    RunningAhead ahead;
    jumpNear(target);
    seekTarget_ = target;
}

bool ReplayViewer::advanceSeek(Main& main, std::optional<double> sliceSeconds) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const std::uint64_t target = *seekTarget_;
    {
        RunningAhead ahead;
        // The clock is read every few frames: a frame of a busy match takes well under a ms.
        constexpr int kFramesBetweenClockReads = 16;
        for (int played = 1; !cursor_.atEnd() && cursor_.step() + cursor_.nextSteps() < target;
             ++played) {
            playNext(main);
            if (sliceSeconds && played % kFramesBetweenClockReads == 0 &&
                std::chrono::duration<double>(Clock::now() - start).count() >= *sliceSeconds)
                return false;
        }
    }
    seekTarget_.reset();
    // The frame that reaches the target is drawn, so the picture shows where playback stands.
    if (!cursor_.atEnd() && cursor_.step() < target) {
        Sound::silenced = true;
        playNext(main);
        Sound::silenced = false;
    }
    // The track went by silently: it picks up where the match has got to in it.
    Music::resume();
    anchor();
    return true;
}

void ReplayViewer::enterFrame(Main& main) {
    if (!started_) {
        started_ = true;
        std::cout << "Replay " << name_ << ": SPACE pauses, LEFT and RIGHT jump " << kJumpSeconds
                  << " s, F plays " << kFastSpeed << " times faster, ESC ends" << std::endl;
        if (const std::string stop = whereRecordingStops(replay_); !stop.empty())
            std::cout << "Replay " << name_ << ": " << stop << std::endl;
        startSeek(0);
    }
    if (pendingJump_ != 0 && !seekTarget_) {
        const double target = static_cast<double>(matchStep()) + pendingJump_ * kStepsPerSecond;
        pendingJump_ = 0;
        startSeek(static_cast<std::uint64_t>(std::max(0.0, target)));
    }
    if (seekTarget_ && !advanceSeek(main, runAheadSliceSeconds))
        return;
    if (paused_ || cursor_.atEnd()) {
        anchor();
        if (cursor_.atEnd() && !endReported_) {
            endReported_ = true;
            std::cout << "Replay " << name_ << ": the end ("
                      << (replay_.finished ? "the match is over" : "the recording stops here")
                      << "); ESC ends" << std::endl;
        }
        return;
    }
    const double due = static_cast<double>(anchorStep_) +
                       (Timer::stamp() - anchorTime_) * speed_ * kStepsPerSecond;
    int played = 0;
    while (!cursor_.atEnd() && static_cast<double>(cursor_.step()) < due &&
           played < kMaxFramesPerDisplay) {
        playNext(main);
        ++played;
    }
    if (played == kMaxFramesPerDisplay)
        anchor();
    reportMismatch();
}

void ReplayViewer::reportMismatch() {
    if (mismatchReported_ || !checker_ || !checker_->firstMismatch())
        return;
    mismatchReported_ = true;
    const double at =
        (static_cast<double>(*checker_->firstMismatch()) - static_cast<double>(replay_.joinStep)) /
        kStepsPerSecond;
    std::cout << "Replay " << name_ << ": from " << matchClock(at)
              << " the game differs from the recording" << std::endl;
}

void ReplayViewer::input(const InputRecord& record) {
    if (record.kind != InputRecord::Kind::KeyDown)
        return;
    switch (record.code) {
    case Keyboard::SPACE:
        paused_ = !paused_;
        break;
    case Keyboard::LEFT:
        pendingJump_ -= kJumpSeconds;
        break;
    case Keyboard::RIGHT:
        pendingJump_ += kJumpSeconds;
        break;
    case kKeyF:
        speed_ = speed_ == 1 ? kFastSpeed : 1;
        anchor();
        break;
    case Keyboard::ESCAPE:
        System::exit(0);
        break;
    default:
        break; // no other key reaches a replay
    }
}

} // namespace zindle
