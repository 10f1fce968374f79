// Log lines held to a share per source, with a summary of the rest.
#include "net/log_throttle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace zindle::net {
namespace {

struct Written {
    std::vector<std::string> lines;
    LogThrottle::Sink sink() {
        return [this](std::string_view line) { lines.emplace_back(line); };
    }
    std::size_t containing(std::string_view text) const {
        return static_cast<std::size_t>(
            std::count_if(lines.begin(), lines.end(), [text](const std::string& l) {
                return l.find(text) != std::string::npos;
            }));
    }
};

TEST(LogThrottleTest, EachSourceGetsItsShareAndASummaryOfTheRest) {
    Written out;
    LogThrottle throttle(out.sink(), {.linesPerWindow = 3, .windowSeconds = 10, .maxSources = 2});
    // A noisy source, a quiet one, and sources past the bound that share one allowance.
    const struct {
        const char* source;
        int lines;
    } sent[] = {{"10.0.0.1", 50}, {"10.0.0.2", 2}, {"10.0.0.3", 4}, {"10.0.0.4", 4}};
    for (const auto& s : sent)
        for (int i = 0; i < s.lines; ++i)
            throttle.line(s.source, std::string("bad ") + s.source, 1.0);
    EXPECT_EQ(out.containing("bad 10.0.0.1"), 3u);
    EXPECT_EQ(out.containing("bad 10.0.0.2"), 2u);
    EXPECT_EQ(out.containing("bad 10.0.0.3") + out.containing("bad 10.0.0.4"), 3u)
        << "two sources are tracked: the rest share one allowance";
    throttle.flush(5.0);
    EXPECT_EQ(out.containing("more lines"), 0u) << "the window has not ended";
    throttle.flush(11.0);
    EXPECT_EQ(out.containing("47 more lines about 10.0.0.1"), 1u);
    EXPECT_EQ(out.containing("more lines about 10.0.0.2"), 0u) << "nothing was held back";
    EXPECT_EQ(out.containing("5 more lines about other sources"), 1u);
    EXPECT_EQ(throttle.trackedSources(), 0u) << "quiet sources are forgotten";
    throttle.line("10.0.0.1", "bad again", 12.0);
    EXPECT_EQ(out.containing("bad again"), 1u) << "a new window, a new share";
}

} // namespace
} // namespace zindle::net
