#pragma once
// The loop's time accumulator: when the next fixed step is due, and how many are due now. Local
// frames take their steps one at a time, reading the clock afresh for each, so that time spent
// in the steps is owed as well; a feed (online play) is handed the count for the whole frame.
// Either way one rule drops a stall's backlog instead of racing to work it off.
#include "base/rules.h"

namespace zindle {

class StepClock {
public:
    static constexpr double kStep = 1.0 / rules::kStepsPerSecond; // s, one fixed step
    static constexpr int kMaxSteps = 30; // steps in one frame after which the schedule resyncs
    // Steps in one frame after which the loop stops whatever the clock says. A machine whose
    // step costs less than kStep finishes a frame within kMaxSteps + a few steps (the backlog
    // is dropped at kMaxSteps), so it never meets this bound; one whose step costs more would
    // otherwise never leave the loop, never draw and never see the quit key.
    static constexpr int kStepLimit = 2 * kMaxSteps + 1;

    // The next step falls due at now.
    void start(double now) { next = now; }
    // Whether a step is due at now; if so the schedule moves on by it.
    bool takeStep(double now);
    // After kMaxSteps of a frame, and at kStepLimit, a stall's backlog is dropped: game time
    // then lags the clock by the stall instead of racing to catch up.
    static bool dropsBacklogAfter(int steps) { return steps == kMaxSteps || steps == kStepLimit; }
    void dropBacklog(double now);
    // Every step due at now for a whole frame, taken at once (at most kMaxSteps).
    int takeDueSteps(double now);

    double next = 0; // s: when the next step falls due
};

} // namespace zindle
