// The headless run as a library: one program after another in the same process.
#include "match/game.h"
#include "simulation.h"
#include "trace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

using namespace zindle;
using namespace zindle::sim;

namespace {

// The first line at which two traces part, from both, shortened.
std::string firstDifference(const std::string& a, const std::string& b) {
    std::istringstream left(a), right(b);
    std::string x, y;
    for (int line = 1;; ++line) {
        // getline empties its string first, so a trace that ended compares as an empty line.
        const bool moreLeft = static_cast<bool>(std::getline(left, x));
        const bool moreRight = static_cast<bool>(std::getline(right, y));
        if (!moreLeft && !moreRight)
            return "none";
        if (x != y)
            return "step line " + std::to_string(line) + ":\n  first:  " + x.substr(0, 400) +
                   "\n  second: " + y.substr(0, 400);
    }
}

} // namespace

TEST(SimulationTest, AFailedStartLeavesNothingBehindForTheNextRun) {
    // From an empty folder, so that the data is not found relative to it either.
    const auto here = std::filesystem::current_path();
    const auto empty = std::filesystem::temp_directory_path() / "zindle-sim-empty";
    std::filesystem::create_directories(empty);
    std::filesystem::current_path(empty);
    RunConfig broken;
    broken.dataRoot = empty;
    EXPECT_THROW(Simulation{broken}, std::runtime_error);
    std::filesystem::current_path(here);

    Simulation run(RunConfig{});
    run.runFrames(61);
    EXPECT_EQ(run.frame(), 61);
    EXPECT_EQ(run.game().clouds.size(), 15u);
}

TEST(SimulationTest, EveryFrameRunsItsFiveStepsAndOneDraw) {
    Simulation run(RunConfig{});
    std::int64_t lastFrame = -1;
    int stepsInFrame = 0;
    std::vector<int> perFrame;
    run.setStepObserver([&](const StepReport& step) {
        if (step.frame != lastFrame) {
            if (lastFrame >= 0)
                perFrame.push_back(stepsInFrame);
            lastFrame = step.frame;
            stepsInFrame = 0;
        }
        ++stepsInFrame;
    });
    for (std::int64_t k = 0; k < 600; ++k) {
        run.runFrame();
        ASSERT_EQ(run.media().frames().back().time, static_cast<double>(k) / 60) << "frame " << k;
    }
    // Rounding of k/60 may move one step across a frame boundary, never more.
    for (int steps : perFrame)
        EXPECT_TRUE(steps >= 4 && steps <= 6) << steps;
    EXPECT_NEAR(run.stats().steps, 5 * 599, 1);
}

TEST(SimulationTest, TheSameRunTwiceInOneProcessGivesTheSameTrace) {
    // Every object that outlives a run must be back at its start when the next run begins; one
    // that neither resetProcessState nor the start-up puts back shows here as a difference
    // between two runs that should be one. The run ends with a key held, a pad pushed, computer
    // players mid-match and music playing, so that leftovers have something to carry over.
    std::istringstream script("0.2 keydown 32\n0.3 keyup 32\n1 keydown 39\n"
                              "2.5 axis 1 0 -20000\n2.6 buttondown 1 7\n");
    RunConfig config;
    config.seed = 11;
    config.aiPlayers = {3, 4};
    config.script = parseScript(script, "double-run script");
    auto traceOf = [&config] {
        Simulation run(config);
        std::string trace;
        run.setStepObserver([&trace](const StepReport& step) { trace += traceLine(step) + '\n'; });
        run.runFrames(12 * 60);
        return trace;
    };
    const std::string first = traceOf();
    const std::string second = traceOf();
    ASSERT_FALSE(first.empty());
    EXPECT_TRUE(first == second) << firstDifference(first, second);
}
