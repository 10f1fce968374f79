// Where replays go and how many stay: the XDG rules, the names, and pruning by count and size
// that never touches another file or the replay being written.
#include "replay/replay_folder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

namespace zindle {
namespace {

TEST(ReplayFolder, FollowsXdgDataHomeThenHome) {
    struct Case {
        const char* xdg;
        const char* home;
        const char* expected;
    };
    const Case cases[]{
        {"/data", "/home/p", "/data/zindle-vs-pellorin/replays"},
        {nullptr, "/home/p", "/home/p/.local/share/zindle-vs-pellorin/replays"},
        {"", "/home/p", "/home/p/.local/share/zindle-vs-pellorin/replays"},
        {"relative/data", "/home/p", "/home/p/.local/share/zindle-vs-pellorin/replays"},
        {nullptr, nullptr, ""},
        {nullptr, "relative", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(replayFolderFor(c.xdg, c.home).string(), c.expected)
            << (c.xdg ? c.xdg : "(unset)") << " " << (c.home ? c.home : "(unset)");
}

TEST(ReplayFolder, NamesAreDateAndTimeAndOnlyThoseCount) {
    const std::time_t when = 1'800'000'000;
    const std::string first = replayFileName(when, 0);
    EXPECT_TRUE(isReplayFileName(first)) << first;
    EXPECT_EQ(first.size(), std::string("2027-01-15_08-00-00.replay").size());
    EXPECT_TRUE(isReplayFileName(replayFileName(when, 2)));
    EXPECT_EQ(replayFileName(when, 2), first.substr(0, 19) + "-2.replay");
    for (const char* other : {"notes.txt", "2027-01-15_08-00-00.replay.bak", "2027-01-15.replay",
                              "2027-01-15_08-00-00-.replay", "2027-01-15_08-00-0x.replay"})
        EXPECT_FALSE(isReplayFileName(other)) << other;
}

class ReplayPruning : public ::testing::Test {
protected:
    void SetUp() override {
        dir =
            std::filesystem::temp_directory_path() / ("zindle-prune-" + std::to_string(::getpid()));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    // The n-th replay, older for smaller n, of size bytes.
    std::filesystem::path make(int n, std::size_t size, const std::string& name = {}) {
        const auto path = dir / (name.empty() ? replayFileName(1'800'000'000 + n * 60, 0) : name);
        std::ofstream(path, std::ios::binary) << std::string(size, 'r');
        std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() -
                                                   std::chrono::hours(1000 - n));
        return path;
    }
    std::size_t count() const {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir),
                                                      std::filesystem::directory_iterator()));
    }
    std::filesystem::path dir;
};

TEST_F(ReplayPruning, KeepsTheNewestByCountAndSizeAndNothingElseIsTouched) {
    std::vector<std::filesystem::path> replays;
    for (int n = 0; n < 8; ++n)
        replays.push_back(make(n, 100));
    const auto foreign = make(-5, 100, "notes.txt");
    pruneReplays(dir, replays.back(), 5, 1'000'000);
    EXPECT_EQ(count(), 6u); // five replays and the foreign file
    for (int n = 0; n < 8; ++n)
        EXPECT_EQ(std::filesystem::exists(replays[static_cast<std::size_t>(n)]), n >= 3) << n;
    EXPECT_TRUE(std::filesystem::exists(foreign));

    // By size: 5 x 100 bytes with room for 250 leaves the newest two.
    pruneReplays(dir, replays.back(), 100, 250);
    EXPECT_TRUE(std::filesystem::exists(replays[7]));
    EXPECT_TRUE(std::filesystem::exists(replays[6]));
    EXPECT_FALSE(std::filesystem::exists(replays[5]));
}

TEST_F(ReplayPruning, TheReplayBeingWrittenStaysWhateverItsTimeOrSize) {
    const auto old = make(0, 1000);
    const auto newer = make(5, 10);
    pruneReplays(dir, old, 1, 100);
    EXPECT_TRUE(std::filesystem::exists(old));
    EXPECT_FALSE(std::filesystem::exists(newer));
}

} // namespace
} // namespace zindle
