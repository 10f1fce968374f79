// Where a channel starts in a looping track: times that are not times start at the beginning.
#include "media/common/sound_start.h"

#include <gtest/gtest.h>

#include <limits>

namespace zindle {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(SoundStartTest, AskedTimesBecomeSecondsAndNonsenseTheBeginning) {
    const struct {
        double ms, seconds;
    } cases[] = {{0, 0}, {1500, 1.5}, {-20, 0}, {kNaN, 0}, {kInf, 0}, {-kInf, 0}};
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(startSeconds(c.ms), c.seconds) << c.ms;
}

TEST(SoundStartTest, APositionFallsWithinOnePlayOfTheLoop) {
    const struct {
        double seconds, length, within;
    } cases[] = {
        {0.5, 2, 0.5},  {5.25, 2, 1.25}, {4, 2, 0}, // on, past and exactly at the loop
        {3, 0, 0},      {3, -1, 0},      {3, kNaN, 0}, {3, kInf, 0}, // the length is unknown
        {kNaN, 2, 0},   {-1, 2, 0},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(positionInLoop(c.seconds, c.length), c.within)
            << c.seconds << " in " << c.length;
}

} // namespace
} // namespace zindle
