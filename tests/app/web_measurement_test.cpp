// The web page's measurement options: what each asks for, and bad values left out, not trusted.
#include "app/web_measurement.h"

#include <gtest/gtest.h>

namespace zindle {
namespace {

TEST(WebMeasurementTest, NoOptionsStartTheGameAsAlways) {
    const auto options = WebMeasurement::parse({});
    EXPECT_FALSE(options.seed);
    EXPECT_TRUE(options.computerPlayers.empty());
    EXPECT_EQ(options.skip(), 0);
    EXPECT_EQ(options.score, -1);
}

TEST(WebMeasurementTest, ReadsEveryOption) {
    const auto options = WebMeasurement::parse(
        {"--seed", "18446744073709551615", "--ai", "1,4,9,2", "--skip", "12.5", "--score", "5"});
    EXPECT_EQ(options.seed, 18446744073709551615ull);
    EXPECT_EQ(options.computerPlayers, (std::vector<int>{0, 3, 1}));
    EXPECT_EQ(options.skip(), 12.5);
    EXPECT_EQ(options.score, 5);
}

TEST(WebMeasurementTest, SkipsOnlyWithASeed) {
    EXPECT_EQ(WebMeasurement::parse({"--skip", "30"}).skip(), 0);
}

TEST(WebMeasurementTest, ValuesThatAreNoNumbersAreLeftOut) {
    for (const char* bad : {"", "x", "12x", "-", "1e999", "nan"}) {
        testing::internal::CaptureStdout();
        const auto options = WebMeasurement::parse({"--seed", bad, "--skip", bad, "--score", bad});
        const std::string said = testing::internal::GetCapturedStdout();
        EXPECT_FALSE(options.seed) << bad;
        EXPECT_EQ(options.skipSeconds, 0) << bad;
        EXPECT_EQ(options.score, -1) << bad;
        EXPECT_NE(said.find("--seed: '" + std::string(bad) + "' is not a number"),
                  std::string::npos)
            << said;
    }
}

} // namespace
} // namespace zindle
