// F12's clips with a stand-in renderer (a shell script): what the line says for each outcome,
// which files are left and what the renderer is asked for.
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
    double match = 12.004;
    double clock = 100;
};

TEST_F(ClipSaverTest, EachOutcomeIsOneLineAndLeavesOnlyAWholeClip) {
    struct Case {
        const char* name;
        const char* script; // nullptr: no renderer installed
        bool sourceWorks;
        const char* line; // how the line starts
        bool clipKept;
    };
    const char* writesTheClip =
        "for a; do [ \"$prev\" = --out ] && echo GIF > \"$a\"; prev=$a; done";
    const std::vector<Case> cases{
        {"saved", writesTheClip, true, "CLIP SAVED: ", true},
        {"refused by the renderer",
         "for a; do [ \"$prev\" = --out ] && echo half > \"$a\"; prev=$a; done\n"
         "echo 'zindle-shot: the recording ends at 3.0 s' >&2; exit 2",
         true, "CLIP NOT SAVED: the recording ends at 3.0 s", false},
        {"a silent failure", "exit 3", true, "CLIP NOT SAVED: the renderer ended with status 3",
         false},
        {"no renderer", nullptr, true, "CLIP NOT SAVED: ZINDLE-SHOT IS NOT INSTALLED", false},
        {"no match to copy", writesTheClip, false, "CLIP NOT SAVED: no match has started", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dir / "replays");
        sourceWorks = c.sourceWorks;
        ClipSaver clips(options(c.script ? renderer(c.script) : dir / "missing"));
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
    ClipSaver clips(options(dir / "missing"));
    clips.press();
    EXPECT_EQ(clips.line(), "CLIP NOT SAVED: ZINDLE-SHOT IS NOT INSTALLED");
    clock += ClipSaver::kLineSeconds - 0.01;
    EXPECT_FALSE(clips.line().empty());
    clock += 0.02;
    EXPECT_TRUE(clips.line().empty());
}

TEST_F(ClipSaverTest, AMatchShorterThanAClipIsClippedFromItsStart) {
    match = 3.456;
    ClipSaver clips(options(renderer("echo \"$@\" > \"" + (dir / "args").string() + "\"")));
    clips.press();
    clips.finish();
    EXPECT_NE(read(dir / "args").find(" --from 0.00 --to 3.45 "), std::string::npos)
        << read(dir / "args");
}

} // namespace
} // namespace zindle
