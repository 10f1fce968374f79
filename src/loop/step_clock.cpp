// The fixed-step schedule.
#include "loop/step_clock.h"

namespace zindle {

bool StepClock::takeStep(double now) {
    if (!(now > next))
        return false;
    next += kStep;
    return true;
}

void StepClock::dropBacklog(double now) {
    if (now >= next)
        next = now;
}

int StepClock::takeDueSteps(double now) {
    int steps = 0;
    while (steps < kMaxSteps && takeStep(now))
        ++steps;
    if (dropsBacklogAfter(steps))
        dropBacklog(now);
    return steps;
}

} // namespace zindle
