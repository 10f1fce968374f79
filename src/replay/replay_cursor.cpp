// The cursor through a replay's frame runs, and the checksum comparison after each second.
#include "replay/replay_cursor.h"

#include "framework/random.h"
#include "loop/main.h"
#include "match/board.h"
#include "match/match_snapshot.h"
#include "match/match_state_codec.h"
#include "replay/replay_format.h"

#include <cmath>
#include <cstdio>
#include <span>

namespace zindle {

static_assert(replay_format::kMaxStepsPerFrame == Main::STEP_LIMIT,
              "a replay must accept every frame the game can run");

void ReplayCursor::playNext(Main& main) {
    if (atEnd())
        return;
    // Drawing that had a stream of its own gets it again: it then takes nothing from the match.
    if (frame_ == 0 && replay_.header.drawingSeed)
        setDrawingStream(replay_.header.drawingSeed);
    if (state_ < replay_.states.size() && replay_.states[state_].frame == frame_) {
        // The reader has checked the bytes; restoring copes with any contents they hold.
        if (Game* game = Main::board ? Main::board->match() : nullptr)
            MatchSnapshot(readMatchState(replay_.states[state_].bytes)).restore(*game);
        ++state_;
    }
    const FrameRun& run = replay_.runs[run_];
    std::span<const InputRecord> inputs;
    if (inRun_ == 0)
        inputs = std::span(replay_.inputs).subspan(run.firstInput, run.inputCount);
    const int steps = static_cast<int>(run.steps);
    if (++inRun_ == run.count) {
        ++run_;
        inRun_ = 0;
    }
    ++frame_;
    step_ += static_cast<std::uint64_t>(steps);
    main.playFrame(inputs, steps);
}

std::string matchClock(double seconds) {
    const double clamped = std::max(0.0, seconds);
    const long whole = static_cast<long>(std::floor(clamped * 10 + 0.5));
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld.%ld", whole / 600, (whole / 10) % 60, whole % 10);
    return text;
}

} // namespace zindle
