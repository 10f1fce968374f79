// The fixed-step schedule: how many steps a frame takes at a given moment, and how a stall's
// backlog is dropped, for a whole frame at once (a feed) and step by step (local play).
#include "loop/step_clock.h"

#include <gtest/gtest.h>

namespace zindle::test {
namespace {

constexpr double kStep = StepClock::kStep;

TEST(StepClockTest, AWholeFrameTakesWhatIsDueUpToTheCapThenResyncs) {
    struct Case {
        const char* what;
        double elapsed; // s since the schedule started
        int due;
        double nextAfter; // s, relative to the start
    };
    const Case cases[] = {
        {"nothing yet", 0, 0, 0},
        {"just past one step", 1e-9, 1, kStep},
        {"most of a 60 Hz frame", 4.5 * kStep, 5, 5 * kStep},
        {"exactly the cap", 29.5 * kStep, 30, 30 * kStep},
        {"a stall: the backlog goes", 0.5, 30, 0.5},
    };
    for (const Case& c : cases) {
        StepClock clock;
        clock.start(100);
        EXPECT_EQ(clock.takeDueSteps(100 + c.elapsed), c.due) << c.what;
        EXPECT_NEAR(clock.next, 100 + c.nextAfter, 1e-9) << c.what;
        EXPECT_EQ(clock.takeDueSteps(100 + c.elapsed), 0) << c.what << ": asked again";
    }
}

} // namespace
} // namespace zindle::test
