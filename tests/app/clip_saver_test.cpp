// F12's clips with a stand-in renderer (a shell script): what the line says for each outcome,
// which files are left, what the renderer is asked for, and when a win's aftermath holds.
#include "app/clip_saver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace zindle {
namespace {

namespace fs = std::filesystem;

class ClipSaverTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("zindle-clip-test-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // A renderer that runs body with its arguments in $@.
    fs::path renderer(const std::string& body) {
        const fs::path path = dir / "render.sh";
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        fs::permissions(path, fs::perms::owner_all);
        return path;
    }

    ClipSaver::Options options(const fs::path& shot) {
        ClipSaver::Options o;
        o.folder = dir / "replays";
        o.shot = shot;
        o.dataRoot = dir;
        o.source = [this](ClipSaver::Source& source, std::string& problem) {
            if (!sourceWorks) {
                problem = "no match has started";
                return false;
            }
            source.replay = dir / "copy.replay";
            std::ofstream(source.replay) << "the match so far";
            source.scratch = true;
            source.now = match;
            return true;
        };
        o.standing = [this] { return standing; };
        o.matchSeconds = [this] { return match; };
        o.clock = [this] { return clock; };
        o.now = [] { return std::time_t{1'800'000'000}; };
        return o;
    }

    std::string read(const fs::path& path) {
        std::stringstream text;
        text << std::ifstream(path).rdbuf();
        return text.str();
    }

    fs::path dir;
    bool sourceWorks = true;
    std::optional<ClipSaver::Standing> standing = ClipSaver::Standing{1, false};
    double match = 12.004;
    double clock = 100;
};

TEST_F(ClipSaverTest, EachOutcomeIsOneLineAndLeavesOnlyAWholeClip) {
    struct Case {
        const char* name;
        const char* script; // nullptr: no renderer installed
        bool won;
        bool sourceWorks;
        const char* line; // how the line starts
        bool clipKept;
    };
    const char* writesTheClip =
        "for a; do [ \"$prev\" = --out ] && echo GIF > \"$a\"; prev=$a; done";
    const std::vector<Case> cases{
        {"saved", writesTheClip, true, true, "CLIP SAVED: ", true},
        {"refused by the renderer",
         "for a; do [ \"$prev\" = --out ] && echo half > \"$a\"; prev=$a; done\n"
         "echo 'zindle-shot: the recording ends at 3.0 s' >&2; exit 2",
         true, true, "CLIP NOT SAVED: the recording ends at 3.0 s", false},
        {"a silent failure", "exit 3", true, true,
         "CLIP NOT SAVED: the renderer ended with status 3", false},
        {"no renderer", nullptr, true, true, "CLIP NOT SAVED: ZINDLE-SHOT IS NOT INSTALLED", false},
        {"before any win", writesTheClip, false, true, "F12 SAVES A CLIP AFTER A WIN", false},
        {"no match to copy", writesTheClip, true, false, "CLIP NOT SAVED: no match has started",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dir / "replays");
        sourceWorks = c.sourceWorks;
        standing = ClipSaver::Standing{0, false};
        match = 2;
        ClipSaver clips(options(c.script ? renderer(c.script) : dir / "missing"));
        clips.poll();
        if (c.won) {
            standing->wins = 1;
            clips.poll(); // the win, at 2 s of match
        }
        match = 11.5;
        clips.press();
        clips.finish();
        EXPECT_EQ(clips.line().rfind(c.line, 0), 0u) << clips.line();
        EXPECT_EQ(fs::exists(clips.lastClip()), c.clipKept);
        EXPECT_FALSE(fs::exists(dir / "copy.replay")) << "the scratch copy is left";
        if (c.clipKept)
            EXPECT_EQ(clips.line(), "CLIP SAVED: " + clips.lastClip().filename().string());
    }
}

TEST_F(ClipSaverTest, TheRendererIsAskedForTheLastTenSecondsBesideTheReplays) {
    ClipSaver clips(options(renderer("echo \"$@\" > \"" + (dir / "args").string() + "\"")));
    clips.poll();
    clips.press();
    clips.finish();
    EXPECT_EQ(clips.lastClip().parent_path(), dir / "replays");
    EXPECT_EQ(clips.lastClip().extension(), ".gif");
    EXPECT_EQ(read(dir / "args"), "--replay " + (dir / "copy.replay").string() +
                                      " --from 2.00 --to 12.00 --scale 2 --out " +
                                      clips.lastClip().string() + " --data " + dir.string() + "\n");
}

// Clips pile up beside the replays as they do: the oldest go past the limits, replays and
// other files are not counted or touched.
TEST_F(ClipSaverTest, SavedClipsArePrunedUnderTheirLimits) {
    const fs::path folder = dir / "replays";
    fs::create_directories(folder);
    const std::vector<std::string> others{"2020-01-01_00-00-00.replay", "notes.gif"};
    for (int i = 0; i < 3; ++i) {
        const fs::path old = folder / ("2020-01-01_00-00-0" + std::to_string(i) + ".gif");
        std::ofstream(old) << "old clip";
        fs::last_write_time(old, fs::file_time_type::clock::now() - std::chrono::hours(3 - i));
    }
    for (const std::string& name : others)
        std::ofstream(folder / name) << "keep";
    ClipSaver::Options o =
        options(renderer("for a; do [ \"$prev\" = --out ] && echo GIF > \"$a\"; prev=$a; done"));
    o.keepFiles = 2;
    ClipSaver clips(o);
    clips.poll();
    clips.press();
    clips.finish();
    ASSERT_EQ(clips.line().rfind("CLIP SAVED", 0), 0u) << clips.line();
    EXPECT_TRUE(fs::exists(clips.lastClip()));
    EXPECT_TRUE(fs::exists(folder / "2020-01-01_00-00-02.gif")) << "the newest old clip";
    EXPECT_FALSE(fs::exists(folder / "2020-01-01_00-00-01.gif"));
    EXPECT_FALSE(fs::exists(folder / "2020-01-01_00-00-00.gif"));
    for (const std::string& name : others)
        EXPECT_TRUE(fs::exists(folder / name)) << name;
}

TEST_F(ClipSaverTest, TheLineGoesAfterFiveSeconds) {
    standing.reset();
    ClipSaver clips(options(dir / "missing"));
    clips.poll();
    clips.press();
    EXPECT_EQ(clips.line(), "F12 SAVES A CLIP AFTER A WIN");
    clock += ClipSaver::kLineSeconds - 0.01;
    EXPECT_FALSE(clips.line().empty());
    clock += 0.02;
    EXPECT_TRUE(clips.line().empty());
}

TEST_F(ClipSaverTest, AWinsAftermathLastsTenSecondsOrWhileNobodyJoins) {
    struct Poll {
        double match;
        std::int64_t wins;
        bool winnerAlone;
        bool afterWin;
    };
    struct Case {
        const char* name;
        std::vector<Poll> polls;
    };
    const std::vector<Case> cases{
        {"ten seconds from the win",
         {{1, 0, false, false},
          {5, 1, false, true},
          {15, 1, false, true},
          {15.1, 1, false, false}}},
        {"the winner's panel stands", {{5, 1, true, true}, {60, 1, true, true}}},
        {"a jump back before the win", {{5, 1, false, true}, {3, 0, false, false}}},
        {"a new match's clock", {{50, 1, false, true}, {2, 1, false, false}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        standing = ClipSaver::Standing{};
        match = 0;
        ClipSaver clips(options(dir / "missing"));
        clips.poll();
        for (const Poll& p : c.polls) {
            match = p.match;
            standing = ClipSaver::Standing{p.wins, p.winnerAlone};
            clips.poll();
            EXPECT_EQ(clips.afterWin(), p.afterWin) << "at " << p.match << " s";
        }
    }
}

} // namespace
} // namespace zindle
