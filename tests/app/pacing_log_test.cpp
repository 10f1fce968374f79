#include "app/pacing_log.h"

#include "loop/main.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace zindle {
namespace {

// Off unless asked for; asked for, one line per present with the fields a script reads.
TEST(PacingLogTest, WritesALinePerPresentOnlyWhenAskedFor) {
    unsetenv("ZINDLE_PACING_LOG");
    EXPECT_FALSE(PacingLog::fromEnvironment());

    const auto path = std::filesystem::temp_directory_path() / "zindle_pacing_log_test.txt";
    setenv("ZINDLE_PACING_LOG", path.c_str(), 1);
    Main::reset();
    {
        const auto observer = PacingLog::fromEnvironment();
        ASSERT_TRUE(observer);
        observer(1.25);
        Main::stepsTaken = 7;
        observer(1.5);
    }
    unsetenv("ZINDLE_PACING_LOG");
    std::ifstream file(path);
    std::string line;
    std::vector<std::string> lines;
    while (std::getline(file, line))
        lines.push_back(line);
    std::filesystem::remove(path);
    Main::reset();

    ASSERT_EQ(lines.size(), 2u);
    std::istringstream second(lines[1]);
    double monotonic = 0;
    double present = 0;
    double frameStart = 0;
    unsigned long long steps = 0;
    second >> monotonic >> present >> frameStart >> steps;
    EXPECT_GT(monotonic, 0);
    EXPECT_DOUBLE_EQ(present, 1.5);
    // No stage yet: the frame is taken to start at its present.
    EXPECT_DOUBLE_EQ(frameStart, 1.5);
    EXPECT_EQ(steps, 7u);
}

} // namespace
} // namespace zindle
