// The replays list: the newest files first, and for each when, how long and who played, read
// from the recorded join keys, pad buttons and computer-player chords.
#include "replay/replay_list.h"
#include "replay/replay_writer.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>

namespace zindle {
namespace {

namespace fs = std::filesystem;

InputRecord press(int code, std::uint8_t modifiers = 0) {
    InputRecord r;
    r.kind = InputRecord::Kind::KeyDown;
    r.code = code;
    r.modifiers = modifiers;
    return r;
}

InputRecord padButton(int device, int button) {
    InputRecord r;
    r.kind = InputRecord::Kind::ButtonDown;
    r.code = device;
    r.button = static_cast<std::int16_t>(button);
    return r;
}

// A finished match of whole seconds whose inputs all come before its first frame of steps.
void writeMatch(const fs::path& file, const std::vector<InputRecord>& inputs, int seconds) {
    ReplayHeader header;
    header.date = 1'800'000'000;
    header.joinFrame = 1;
    header.gameVersion = "1.0.0";
    std::vector<std::uint8_t> bytes = encodeReplayHeader(header);
    ReplayEncoder enc;
    enc.frame(0);
    for (const InputRecord& r : inputs)
        enc.input(r);
    for (int second = 0; second < seconds; ++second) {
        for (int frame = 0; frame < 60; ++frame)
            enc.frame(5);
        enc.checksum(second);
    }
    enc.end();
    const auto block = encodeReplayBlock(enc.take());
    bytes.insert(bytes.end(), block.begin(), block.end());
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

class ReplayList : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("zindle-replay-list-" + std::to_string(::getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }
    fs::path folder_;
};

TEST_F(ReplayList, TheNewestReplaysComeFirstAndOtherFilesAreLeftOut) {
    for (const char* name : {"2026-12-07_17-04-31.replay", "2026-12-08_09-00-00.replay",
                             "2026-12-08_09-00-00-2.replay", "2026-12-08_09-00-00-10.replay",
                             "notes.txt", "2030-01-01.replay"})
        std::ofstream(folder_ / name) << "x";
    fs::create_directory(folder_ / "2031-01-01_00-00-00.replay"); // a folder so named
    const auto newest = newestReplays(folder_, 3);
    ASSERT_EQ(newest.size(), 3u);
    // The tenth and second matches of one second, then its first.
    EXPECT_EQ(newest[0].filename(), "2026-12-08_09-00-00-10.replay");
    EXPECT_EQ(newest[1].filename(), "2026-12-08_09-00-00-2.replay");
    EXPECT_EQ(newest[2].filename(), "2026-12-08_09-00-00.replay");
    EXPECT_EQ(newestReplays(folder_ / "missing", 5).size(), 0u);
}

TEST_F(ReplayList, SaysWhoPlayedHowLongAndWhen) {
    struct Case {
        const char* what;
        std::vector<InputRecord> inputs;
        const char* players;
    };
    const Case cases[] = {
        {"SPACE", {press(32)}, "1"},
        {"lower-case i and a pad's Start on device 3", {press('i'), padButton(3, 7)}, "3 4"},
        {"CTRL+2 and CTRL+4",
         {press('2', InputRecord::kCtrl), press('4', InputRecord::kCtrl)},
         "CPU2 CPU4"},
        {"E with CTRL is no join, a pad's other button neither",
         {press('E', InputRecord::kCtrl), padButton(0, 3), padButton(9, 0)},
         ""},
    };
    for (const Case& c : cases) {
        const fs::path file = folder_ / "match.replay";
        writeMatch(file, c.inputs, 65);
        const ReplaySummary s = summarizeReplay(file);
        EXPECT_TRUE(s.problem.empty()) << s.problem;
        EXPECT_EQ(s.players, c.players) << c.what;
        EXPECT_DOUBLE_EQ(s.seconds, 65) << c.what;
        EXPECT_EQ(s.date, 1'800'000'000);
        const std::string line = describeReplay(s);
        EXPECT_NE(line.find("  1:05  "), std::string::npos) << line;
    }
    std::ofstream(folder_ / "bad.replay") << "not a replay";
    const ReplaySummary bad = summarizeReplay(folder_ / "bad.replay");
    EXPECT_FALSE(bad.problem.empty());
    EXPECT_EQ(describeReplay(bad), "bad.replay: damaged");
}

} // namespace
} // namespace zindle
