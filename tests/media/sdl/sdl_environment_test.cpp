#include "media/sdl/sdl_environment.h"

#include "media/common/asset_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <string>

namespace zindle {
namespace {

namespace fs = std::filesystem;

class SdlEnvironmentTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("zindle-env-" + std::to_string(::getpid()));
        fs::create_directories(folder_);
        ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
        write("pads.txt", "# a comment\n03000000aaaa,Pad,a:b0,platform:Linux,\n");
        std::string many;
        for (int i = 0; i < 3001; ++i)
            many += "03000000aaaa,Pad,a:b0,platform:Linux,\n";
        write("many.txt", many);
        write("big.txt", std::string(kMaxTextFileBytes + 1, '#'));
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string path(const char* name) const { return (folder_ / name).string(); }
    void write(const char* name, const std::string& text) const {
        std::ofstream(folder_ / name, std::ios::binary) << text;
    }
    std::vector<EnvironmentFix> review(const std::map<std::string, std::string>& variables) {
        return reviewSdlEnvironment([&](const char* name) -> const char* {
            const auto found = variables.find(name);
            return found == variables.end() ? nullptr : found->second.c_str();
        });
    }

    fs::path folder_;
};

TEST_F(SdlEnvironmentTest, SaneValuesPassUntouched) {
    EXPECT_TRUE(review({{"SDL_DISKAUDIODELAY", "0"},
                        {"SDL_AUDIO_SAMPLES", "1024"},
                        {"SDL_DISKAUDIOFILE", "/dev/null"},
                        {"SDL_DISKAUDIOFILEIN", path("absent.raw")},
                        {"SDL_GAMECONTROLLERCONFIG_FILE", path("pads.txt")},
                        {"SDL_JOYSTICK_DEVICE", "/dev/null:" + path("absent")},
                        {"SDL_OPENGL_LIBRARY", "libGL.so.1"},
                        {"SDL_VULKAN_LIBRARY", path("absent.so")},
                        {"SDL_VIDEO_DUMMY_SAVE_FRAMES", "0"}})
                    .empty());
    EXPECT_TRUE(review({{"SDL_DISKAUDIODELAY", "1000"},
                        {"SDL_GAMECONTROLLERCONFIG_FILE", path("absent.txt")}})
                    .empty());
}

TEST_F(SdlEnvironmentTest, HostileValuesAreRefusedOrReplaced) {
    struct Case {
        const char* name;
        std::string value;
        const char* said;                   // part of the one line
        std::optional<std::string> becomes; // none: removed
    };
    const Case cases[] = {
        {"SDL_DISKAUDIODELAY", "100000", "outside 0 to 1000 ms", std::nullopt},
        {"SDL_DISKAUDIODELAY", "-5", "outside", std::nullopt},
        {"SDL_DISKAUDIODELAY", "99999999999999999999", "not a whole number", std::nullopt},
        {"SDL_DISKAUDIODELAY", "10 ", "not a whole number", std::nullopt},
        {"SDL_AUDIO_SAMPLES", "0", "outside 16 to 8192", std::nullopt},
        {"SDL_AUDIO_FREQUENCY", "1", "outside", std::nullopt},
        {"SDL_AUDIO_CHANNELS", "255", "outside", std::nullopt},
        {"SDL_DISKAUDIOFILE", path("fifo"), "names a FIFO", std::string("/dev/null")},
        {"SDL_DISKAUDIOFILEIN", path("fifo"), "names a FIFO", std::string("/dev/null")},
        {"SDL_GAMECONTROLLERCONFIG_FILE", path("fifo"), "a FIFO, not a regular file", std::nullopt},
        {"SDL_GAMECONTROLLERCONFIG_FILE", "/dev/zero", "a device, not a regular file",
         std::nullopt},
        {"SDL_GAMECONTROLLERCONFIG_FILE", folder_.string(), "not a regular file", std::nullopt},
        {"SDL_GAMECONTROLLERCONFIG_FILE", path("big.txt"), "over the limit", std::nullopt},
        {"SDL_GAMECONTROLLERCONFIG_FILE", path("many.txt"), "3001 mappings", std::nullopt},
        {"SDL_JOYSTICK_DEVICE", path("fifo"), "not a device; ignored", std::nullopt},
        {"SDL_JOYSTICK_DEVICE", "/dev/null:" + path("fifo"), "left out", std::string("/dev/null")},
        {"SDL_PATH_DSP", path("pads.txt"), "a regular file, not a device", std::nullopt},
        {"SDL_OPENGL_LIBRARY", path("fifo"), "not a library", std::nullopt},
        {"SDL_VULKAN_LIBRARY", folder_.string(), "not a library", std::nullopt},
        {"SDL_VIDEO_OFFSCREEN_SAVE_FRAMES", "1", "every frame", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + "=" + c.value);
        const auto fixes = review({{c.name, c.value}});
        ASSERT_EQ(fixes.size(), 1u);
        EXPECT_EQ(fixes[0].name, c.name);
        EXPECT_EQ(fixes[0].problem.rfind(c.name, 0), 0u) << "the line names the variable";
        EXPECT_NE(fixes[0].problem.find(c.said), std::string::npos) << fixes[0].problem;
        EXPECT_EQ(fixes[0].problem.find('\n'), std::string::npos);
        EXPECT_EQ(fixes[0].replacement, c.becomes);
    }
}

TEST_F(SdlEnvironmentTest, QuotedValuesAreShortAndPrintable) {
    const auto fixes = review({{"SDL_DISKAUDIODELAY", "\x1b[2J" + std::string(10000, '9')}});
    ASSERT_EQ(fixes.size(), 1u);
    EXPECT_LT(fixes[0].problem.size(), 200u);
    EXPECT_EQ(fixes[0].problem.find('\x1b'), std::string::npos);
    EXPECT_NE(fixes[0].problem.find("\\x1b[2J"), std::string::npos);
}

TEST_F(SdlEnvironmentTest, GuardRemovesOrReplacesInTheProcess) {
    ::setenv("SDL_DISKAUDIODELAY", "-5", 1);
    ::setenv("SDL_DISKAUDIOFILE", path("fifo").c_str(), 1);
    std::ostringstream out;
    guardSdlEnvironment(out);
    EXPECT_EQ(std::getenv("SDL_DISKAUDIODELAY"), nullptr);
    ASSERT_NE(std::getenv("SDL_DISKAUDIOFILE"), nullptr);
    EXPECT_STREQ(std::getenv("SDL_DISKAUDIOFILE"), "/dev/null");
    const std::string said = out.str();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 2) << said;
    // The tests run with the disk audio driver writing here.
    ::setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
}

} // namespace
} // namespace zindle
