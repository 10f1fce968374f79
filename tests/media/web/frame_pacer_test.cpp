// The web page's frame pacing: whatever the screen's refresh rate and its jitter, the stage gets
// 60 frames and its clock keeps real time, never running backwards or far ahead.
#include "media/web/frame_pacer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace zindle {
namespace {

constexpr double kEarly = 0.005;       // s: the stage's early wake
constexpr double kPeriod = 1.0 / 60.0; // s: the stage's frame period
constexpr double kRun = 10.0;          // s of refreshes per case
constexpr double kJitter = 0.0002;     // s: how far a refresh may come from its due time

struct Refreshes {
    int frames = 0;
    double clockAtEnd = 0;
    double largestLead = 0; // s: how far the clock got ahead of real time
    bool monotonic = true;
};

// The stage's own rule: a poll renders when the clock has reached the last render plus a
// period, and then asks to be woken kEarly before the next frame.
Refreshes play(double refreshHz, double jitter, unsigned seed = 1) {
    FramePacer pacer(kEarly);
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> noise(-jitter, jitter);
    Refreshes run;
    double lastRender = 0;
    double lastClock = 0;
    auto poll = [&](double real) {
        const double now = pacer.clock(real);
        if (now >= lastRender + kPeriod) {
            lastRender = now;
            ++run.frames;
        }
        pacer.wakeRequested(pacer.clock(real), lastRender + kPeriod - pacer.clock(real) - kEarly);
    };
    pacer.wakeRequested(0, 0);
    double previous = 0;
    for (int i = 1; i * (1.0 / refreshHz) < kRun; ++i) {
        const double real = i / refreshHz + noise(random);
        for (int polls = 0; polls < 3 && pacer.serve(real, real - previous); ++polls) {
            const int before = run.frames;
            poll(real);
            if (run.frames != before)
                break;
        }
        const double clock = pacer.clock(real);
        run.monotonic = run.monotonic && clock >= lastClock;
        run.largestLead = std::max(run.largestLead, clock - real);
        lastClock = clock;
        previous = real;
    }
    run.clockAtEnd = lastClock;
    return run;
}

TEST(FramePacerTest, SixtyFramesASecondOnCommonRefreshRates) {
    for (const double hz : {60.0, 75.0, 120.0, 144.0, 240.0}) {
        SCOPED_TRACE(hz);
        const Refreshes run = play(hz, kJitter);
        // One frame a period, give or take the ones at either end.
        EXPECT_NEAR(run.frames, kRun * 60, hz == 144.0 ? 6 : 2);
        EXPECT_TRUE(run.monotonic);
        // The lead is bounded by the interval since the last refresh, jitter included.
        EXPECT_LT(run.largestLead, 1.0 / hz + 2 * kJitter) << "never more than a refresh ahead";
        EXPECT_NEAR(run.clockAtEnd, kRun, 1.0 / hz + 0.001);
    }
}

TEST(FramePacerTest, ASlowScreenGetsAFrameEveryRefresh) {
    const Refreshes run = play(50, kJitter);
    EXPECT_NEAR(run.frames, kRun * 50, 2);
    EXPECT_LT(run.largestLead, 0.025 + 1e-9);
}

TEST(FramePacerTest, AStallDoesNotPullTheClockAhead) {
    FramePacer pacer(kEarly);
    pacer.wakeRequested(0, kPeriod - kEarly);
    // The next refresh comes half a second late (a hidden tab): served at once, at real time.
    EXPECT_TRUE(pacer.serve(0.5, 0.5));
    EXPECT_DOUBLE_EQ(pacer.clock(0.5), 0.5);
}

TEST(FramePacerTest, AFarWakeIsNotServedEarly) {
    FramePacer pacer(kEarly);
    pacer.wakeRequested(0, 0.02); // a sound check, no frame near
    EXPECT_FALSE(pacer.serve(0.001, 1.0 / 60));
    EXPECT_DOUBLE_EQ(pacer.clock(0.001), 0.001);
    EXPECT_TRUE(pacer.serve(0.02, 1.0 / 60));
}

} // namespace
} // namespace zindle
