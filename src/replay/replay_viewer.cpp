// The replay viewer: pacing recorded frames by the clock, the viewer's keys, and jumps.
#include "replay/replay_viewer.h"

#include "base/rules.h"
#include "framework/display_object.h"
#include "framework/graphics.h"
#include "framework/keyboard.h"
#include "framework/lib.h"
#include "framework/sound.h"
#include "input/pad_layout.h"
#include "loop/main.h"
#include "match/game.h"
#include "render/text_line.h"
#include "render/tiler.h"
#include "replay/replay_format.h"
#include "replay/replay_notes.h"
#include "sound/music.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <iostream>
#include <memory>

namespace zindle {
namespace {
constexpr double kStepsPerSecond = rules::kStepsPerSecond;
// Recorded frames played in one displayed frame before playback stops catching up with the
// clock (after a stall, as the live game drops its backlog).
constexpr int kMaxFramesPerDisplay = 12;
constexpr int kKeyF = 70;
constexpr int kKeyPeriod = 190;
constexpr double kPadPushed = 0.5; // of the stick's travel: past it a push counts

// The overlay, in stage px: the clock and speed on one line over the timeline's pips, below the
// line a clip's message takes at the top.
constexpr double kScreenWidthPx = 480;
constexpr double kOverlayMarginPx = 6; // from the screen's sides
constexpr double kClockY = 16;         // the text's top
constexpr double kBarY = 32;           // the pips' centres
constexpr double kBarTapPx = 12;       // how far above or below the pips a tap still hits them
constexpr double kPipPitchPx = 12;
constexpr double kBarLeftPx = (kScreenWidthPx - kPipPitchPx * (ReplayViewer::kBarPips - 1)) / 2;

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

ReplayViewer::~ReplayViewer() {
    if (overlay_ && Main::instance == overlayOwner_)
        overlay_->graphics().clear();
}

std::uint64_t ReplayViewer::matchStep() const {
    return cursor_.step() > replay_.joinStep ? cursor_.step() - replay_.joinStep : 0;
}

std::uint64_t ReplayViewer::matchSteps() const {
    return replay_.steps > replay_.joinStep ? replay_.steps - replay_.joinStep : 0;
}

std::string ReplayViewer::clockText() const {
    return matchClock(static_cast<double>(matchStep()) / kStepsPerSecond) + " / " +
           matchClock(static_cast<double>(matchSteps()) / kStepsPerSecond);
}

std::string ReplayViewer::speedText() const {
    if (paused_)
        return "PAUSED";
    if (speed_ < 1)
        return "1/" + std::to_string(static_cast<int>(std::lround(1 / speed_))) + "X";
    return std::to_string(static_cast<int>(std::lround(speed_))) + "X";
}

int ReplayViewer::litPips() const {
    if (matchSteps() == 0)
        return 0;
    const double share = static_cast<double>(matchStep()) / static_cast<double>(matchSteps());
    return static_cast<int>(std::lround(std::clamp(share, 0.0, 1.0) * kBarPips));
}

void ReplayViewer::setSpeed(double speed) {
    speed_ = speed;
    anchor();
}

void ReplayViewer::changeSpeed(int by) {
    const auto at = std::find(kSpeeds.begin(), kSpeeds.end(), speed_);
    const auto index = at == kSpeeds.end() ? 1 : at - kSpeeds.begin();
    const auto next = std::clamp<std::ptrdiff_t>(index + by, 0, kSpeeds.size() - 1);
    setSpeed(kSpeeds[static_cast<std::size_t>(next)]);
}

void ReplayViewer::tap(double x, double y) {
    if (std::abs(y - kBarY) <= kBarTapPx && x >= kBarLeftPx - kPipPitchPx / 2 &&
        x <= kScreenWidthPx - kBarLeftPx + kPipPitchPx / 2) {
        const double share =
            std::clamp((x - kBarLeftPx) / (kPipPitchPx * (kBarPips - 1)), 0.0, 1.0);
        pendingJump_ = 0;
        pendingSeek_ = static_cast<std::uint64_t>(share * static_cast<double>(matchSteps()));
        return;
    }
    paused_ = !paused_;
}

void ReplayViewer::drawOverlay(Main& main) {
    if (overlayOwner_ != &main) {
        overlay_ = &main.addChild(std::make_unique<Sprite>());
        overlayOwner_ = &main;
    }
    Graphics& graphics = overlay_->graphics();
    graphics.clear();
    if (!Game::tiler)
        return;
    Tiler& tiler = *Game::tiler;
    const double scrollX = tiler.scrollX, scrollY = tiler.scrollY;
    tiler.scrollX = tiler.scrollY = 0;
    tiler.beginDraw();
    text_line::draw(tiler, clockText(), kOverlayMarginPx, kClockY);
    const std::string speed = speedText();
    text_line::draw(tiler, speed,
                    kScreenWidthPx - kOverlayMarginPx - text_line::width(tiler, speed), kClockY);
    const int lit = litPips();
    for (int i = 0; i < kBarPips; ++i)
        tiler.drawTile(i < lit ? "SCORE_ON" : "SCORE_OFF", kBarLeftPx + kPipPitchPx * i, kBarY);
    tiler.endDraw(graphics);
    tiler.scrollX = scrollX;
    tiler.scrollY = scrollY;
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
                  << " s (" << kLongJumpSeconds
                  << " s with SHIFT), UP and DOWN change the speed, '.' steps a frame while "
                     "paused, ESC ends"
                  << std::endl;
        if (const std::string stop = whereRecordingStops(replay_); !stop.empty())
            std::cout << "Replay " << name_ << ": " << stop << std::endl;
        startSeek(0);
    }
    // A seek under way takes the frame's time first; the keys that asked for more wait for it.
    if (pendingSeek_ && !seekTarget_) {
        const std::uint64_t target = *pendingSeek_;
        pendingSeek_.reset();
        startSeek(target);
    }
    if (pendingJump_ != 0 && !seekTarget_) {
        const double target = static_cast<double>(matchStep()) + pendingJump_ * kStepsPerSecond;
        pendingJump_ = 0;
        startSeek(static_cast<std::uint64_t>(std::max(0.0, target)));
    }
    if (seekTarget_ && !advanceSeek(main, runAheadSliceSeconds)) {
        drawOverlay(main);
        return;
    }
    if (pendingFrameStep_) {
        pendingFrameStep_ = false;
        if (paused_ && !cursor_.atEnd())
            playNext(main);
    }
    drawOverlay(main);
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
    using Kind = InputRecord::Kind;
    if (record.kind == Kind::Axis) {
        // A push of the D-pad or stick counts once, when it arrives.
        const int direction = record.value <= -kPadPushed ? -1 : record.value >= kPadPushed ? 1 : 0;
        if (direction != 0 && direction != padDirection_) {
            if (paused_ && direction > 0)
                pendingFrameStep_ = true;
            else
                pendingJump_ += direction * kJumpSeconds;
        }
        padDirection_ = direction;
        return;
    }
    if (record.kind == Kind::ButtonDown) {
        if (record.button == pad_layout::kSouthButton)
            paused_ = !paused_;
        else if (record.button == pad_layout::kStartButton)
            setSpeed(speed_ == kSpeeds.back() ? kSpeeds.front() : speed_ * 2);
        return;
    }
    if (record.kind != Kind::KeyDown)
        return;
    const double jump =
        (record.modifiers & InputRecord::kShift) != 0 ? kLongJumpSeconds : kJumpSeconds;
    switch (record.code) {
    case Keyboard::SPACE:
        paused_ = !paused_;
        break;
    case Keyboard::LEFT:
        pendingJump_ -= jump;
        break;
    case Keyboard::RIGHT:
        pendingJump_ += jump;
        break;
    case Keyboard::UP:
        changeSpeed(1);
        break;
    case Keyboard::DOWN:
        changeSpeed(-1);
        break;
    case kKeyPeriod:
        pendingFrameStep_ = paused_;
        break;
    case kKeyF:
        setSpeed(speed_ == 1 ? kFastSpeed : 1);
        break;
    case Keyboard::ESCAPE:
        if (leave)
            leave();
        else
            System::exit(0);
        break;
    default:
        break; // no other key reaches a replay
    }
}

} // namespace zindle
