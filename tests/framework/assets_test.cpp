#include "framework/assets.h"

#include "app/process_state.h"
#include "framework/bitmap_data.h"
#include "framework/sound.h"
#include "media/headless/headless_media.h"
#include "support/asset_folder.h"
#include "support/hostile_sounds.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace zindle {
namespace {

class AssetsTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetProcessState();
        media = &HeadlessMedia::install();
        folder = std::make_unique<test::AssetFolder>();
        folder->copyTestData("atlas_64x32.png", "assets/title.png");
    }
    void TearDown() override { resetProcessState(); }

    HeadlessMedia* media = nullptr;
    std::unique_ptr<test::AssetFolder> folder;
};

TEST_F(AssetsTest, CatalogueHoldsFortyOneAssetsOfFourKinds) {
    Assets::initialize();
    EXPECT_EQ(Assets::resourceNames.size(), 41u);
    std::map<std::string, int> kinds;
    for (const auto& [id, kind] : Assets::resourceTypes) {
        ++kinds[kind];
        EXPECT_EQ(Assets::getResourceName(id), id);
    }
    EXPECT_EQ(kinds,
              (std::map<std::string, int>{{"image", 2}, {"text", 2}, {"music", 2}, {"sound", 35}}));
    EXPECT_EQ(Assets::resourceTypes.at("assets/jump10.wav"), "sound");
    EXPECT_FALSE(Assets::getResourceName("assets/jump11.wav").has_value());
}

TEST_F(AssetsTest, ImagesAreCachedUnlessAskedNotTo) {
    const auto first = Assets::getBitmapData("assets/title.png");
    ASSERT_TRUE(first && first->isLoaded());
    EXPECT_EQ(first->width(), 64);
    EXPECT_EQ(Assets::getBitmapData("assets/title.png"), first);
    const auto fresh = Assets::getBitmapData("assets/title.png", false);
    EXPECT_NE(fresh, first);
    EXPECT_EQ(Assets::cachedBitmapData.at("assets/title.png"), first);

    const auto missing = Assets::getBitmapData("assets/gametiles.png");
    ASSERT_TRUE(missing); // an object without an image
    EXPECT_FALSE(missing->isLoaded());
}

TEST_F(AssetsTest, WrongKindsAndUnknownIdsReportOneLine) {
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(Assets::getBitmapData("assets/gametiles.txt"), nullptr);
    EXPECT_FALSE(Assets::getBytes("assets/nothing.bin").has_value());
    EXPECT_EQ(Assets::getSound("assets/jump11.wav"), nullptr);
    EXPECT_EQ(Assets::getSound("assets/title.png"), nullptr);
    EXPECT_EQ(Assets::getFont("assets/font.ttf"), nullptr);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "[Assets] There is no BitmapData asset with an ID of \"assets/gametiles.txt\"\n"
              "[Assets] There is no String or ByteArray asset with an ID of "
              "\"assets/nothing.bin\"\n"
              "[Assets] There is no Sound asset with an ID of \"assets/jump11.wav\"\n"
              "[Assets] There is no Sound asset with an ID of \"assets/title.png\"\n"
              "[Assets] There is no Font asset with an ID of \"assets/font.ttf\"\n");
}

TEST_F(AssetsTest, TextIsTheFileBytesWhateverTheKind) {
    std::ifstream png(folder->path("assets/title.png"), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(png)), {});
    EXPECT_EQ(Assets::getText("assets/title.png"), bytes);
    folder->write("assets/title.txt", "TITLE 0 0 1 1 0 0\n\xc3\xa9\n");
    EXPECT_EQ(Assets::getText("assets/title.txt"), "TITLE 0 0 1 1 0 0\n\xc3\xa9\n");
}

TEST_F(AssetsTest, SoundsLoadFreshWithTheirKind) {
    folder->writeWav("assets/jump10.wav");
    folder->write("assets/Orbwright-Velvetdusk-16TakeThisOne.mp3", test::silentMp3Frames());
    const auto jump = Assets::getSound("assets/jump10.wav");
    ASSERT_TRUE(jump);
    EXPECT_NE(Assets::getSound("assets/jump10.wav"), jump);
    jump->play();
    EXPECT_FALSE(media->channels().back().music);
    Assets::getSound("assets/Orbwright-Velvetdusk-16TakeThisOne.mp3")->play();
    EXPECT_TRUE(media->channels().back().music);
}

TEST_F(AssetsTest, UnloadableSoundThrowsWithItsPath) {
    try {
        Assets::getSound("assets/jump3.wav");
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Could not load:assets/jump3.wav");
    }
}

TEST_F(AssetsTest, RelativePathsResolveInTheFirstRootThatHasThem) {
    test::AssetFolder second;
    second.writeWav("assets/jump1.wav");
    second.writeWav("assets/jump2.wav");
    folder->writeWav("assets/jump1.wav");
    Assets::setSearchRoots({folder->root(), second.root()});
    EXPECT_EQ(Assets::resolve("assets/jump1.wav"), folder->path("assets/jump1.wav").string());
    EXPECT_EQ(Assets::resolve("assets/jump2.wav"), second.path("assets/jump2.wav").string());
    EXPECT_EQ(Assets::resolve("assets/jump3.wav"), "assets/jump3.wav");
    EXPECT_EQ(Assets::resolve("/abs/jump1.wav"), "/abs/jump1.wav");
}

TEST_F(AssetsTest, TheDataFolderIsTheFirstRootsAndItsAbsenceNamesEveryPlaceLooked) {
    const auto noData = folder->root() / "assets"; // holds files, but no data folder of its own
    Assets::setSearchRoots({noData, folder->root()});
    EXPECT_EQ(Assets::dataFolder(), folder->root() / "assets");

    Assets::setSearchRoots({noData, "/nonexistent/place"});
    try {
        Assets::dataFolder();
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        const std::string text = e.what();
        EXPECT_NE(text.find((noData / "assets").string()), std::string::npos) << text;
        EXPECT_NE(text.find("/nonexistent/place/assets"), std::string::npos) << text;
        EXPECT_EQ(text.find('\n'), std::string::npos) << "one line: " << text;
    }
}

// A data folder this user may not enter (mode 000 or 644), or may not reach, is named once with
// the reason, rather than failing each file on its own without one. Root enters any folder, so
// the check runs in a child process as nobody when the tests run as root.
TEST_F(AssetsTest, ADataFolderClosedToThisUserIsNamedWithTheReason) {
    constexpr uid_t kNobody = 65534;
    const auto assets = folder->path("assets");
    const struct {
        std::filesystem::path closed;
        std::filesystem::perms mode;
        const char* said;
    } cases[] = {
        {assets, std::filesystem::perms::none, "cannot be read: Permission denied"},
        {assets, std::filesystem::perms(0644), "cannot be read: Permission denied"},
        {folder->root(), std::filesystem::perms::none, "cannot be reached: Permission denied"},
    };
    for (const auto& c : cases) {
        const auto mode = std::filesystem::status(c.closed).permissions();
        std::filesystem::permissions(c.closed, c.mode);
        const pid_t child = fork();
        if (child == 0) {
            if (geteuid() == 0 && (setgid(kNobody) != 0 || setuid(kNobody) != 0))
                _exit(3);
            try {
                Assets::setSearchRoots({folder->root()});
                Assets::dataFolder();
                _exit(1);
            } catch (const std::runtime_error& e) {
                const std::string text = e.what();
                _exit(text.find(assets.string()) != std::string::npos &&
                              text.find(c.said) != std::string::npos
                          ? 0
                          : 2);
            }
        }
        int status = -1;
        waitpid(child, &status, 0);
        std::filesystem::permissions(c.closed, mode);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << c.closed << " closed: status " << status << " (1: no error, 2: wrong text)";
    }
}

TEST_F(AssetsTest, ByDefaultTheInstalledDataFolderIsLookedForRelativeToTheExecutable) {
    std::filesystem::current_path(folder->root() / "assets"); // no data folder here
    Assets::reset();                                          // the default roots
    try {
        const auto found = Assets::dataFolder();
        GTEST_SKIP() << "a data folder is reachable from the test program: " << found;
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("/share/zindle-vs-pellorin/assets"), std::string::npos)
            << e.what();
    }
}

// A folder (or FIFO, or device) where a file should be is handed on where it was found, so that
// the reader's refusal names it, rather than as a bare path that may lead somewhere else; a
// regular file in a later root still wins.
TEST_F(AssetsTest, SomethingThatIsNoFileIsHandedOnWhereItWasFound) {
    test::AssetFolder second;
    second.writeWav("assets/jump1.wav");
    std::filesystem::create_directories(folder->path("assets/jump1.wav"));
    std::filesystem::create_directories(folder->path("assets/jump2.wav"));
    Assets::setSearchRoots({folder->root(), second.root()});
    EXPECT_EQ(Assets::resolve("assets/jump1.wav"), second.path("assets/jump1.wav").string());
    EXPECT_EQ(Assets::resolve("assets/jump2.wav"), folder->path("assets/jump2.wav").string());
    ::testing::internal::CaptureStdout();
    EXPECT_THROW(Assets::getSound("assets/jump2.wav"), std::runtime_error);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "Warning: " + folder->path("assets/jump2.wav").string() +
                       ": a folder, not a regular file\n");
}

} // namespace
} // namespace zindle
