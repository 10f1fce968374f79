// The headless run as a library: one program after another in the same process.
#include "match/game.h"
#include "simulation.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace zindle;
using namespace zindle::sim;

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
