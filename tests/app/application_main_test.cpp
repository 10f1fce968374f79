#include "app/application_main.h"
#include "app/process_state.h"

#include "framework/lib.h"
#include "loop/main.h"
#include "match/game.h"
#include "media/headless/headless_media.h"
#include "support/asset_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace zindle {
namespace {

class ApplicationMainTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetProcessState();
        media = &HeadlessMedia::install();
        folder = std::make_unique<test::AssetFolder>();
        folder->writeStartUpData();
    }
    void TearDown() override { resetProcessState(); }

    HeadlessMedia* media = nullptr;
    std::unique_ptr<test::AssetFolder> folder;
};

TEST_F(ApplicationMainTest, OpensTheWindowAndPutsMainOnTheStage) {
    EXPECT_EQ(ApplicationMain::run(), 0);
    EXPECT_EQ(media->windowWidth(), 480);
    EXPECT_EQ(media->windowHeight(), 320);
    EXPECT_EQ(media->title(), "Zindle vs Pellorin");
    EXPECT_EQ(media->background(), 0x85E3FFu);
    ASSERT_EQ(media->package().size(), 4u);
    EXPECT_EQ(media->package()[0], "ZindleAndPellorin");
    EXPECT_EQ(media->package()[1], "MyApplication");
    EXPECT_EQ(media->package()[3], "1.0.0");
    EXPECT_EQ(Lib::stage().frameRate(), 60.0);
    EXPECT_NE(Main::instance, nullptr);
    EXPECT_NE(dynamic_cast<Game*>(Main::board.get()), nullptr);
    EXPECT_TRUE(media->errors().empty());
}

TEST_F(ApplicationMainTest, AnErrorDuringStartUpIsShownAndFails) {
    Lib::create([] {}, 480, 320); // a second create is refused
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(ApplicationMain::run(), 1);
    const std::string err = ::testing::internal::GetCapturedStderr();
    ASSERT_EQ(media->errors().size(), 1u);
    EXPECT_EQ(media->errors()[0].rfind("Error: Lib.create called multiple times", 0), 0u)
        << media->errors()[0];
    EXPECT_NE(err.find("Lib.create called multiple times"), std::string::npos) << err;
}

TEST_F(ApplicationMainTest, AMissingAtlasStopsStartUpNamingTheFile) {
    std::filesystem::remove(folder->path("assets/gametiles.png"));
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(ApplicationMain::run(), 1);
    const std::string err = ::testing::internal::GetCapturedStderr();
    ASSERT_EQ(media->errors().size(), 1u);
    EXPECT_NE(media->errors()[0].find("assets/gametiles.png"), std::string::npos)
        << media->errors()[0];
    EXPECT_NE(err.find("assets/gametiles.png"), std::string::npos) << err;
}

TEST_F(ApplicationMainTest, NoDataFolderStopsStartUpSayingWhereItLooked) {
    std::filesystem::remove_all(folder->path("assets"));
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(ApplicationMain::run(), 1);
    const std::string err = ::testing::internal::GetCapturedStderr();
    ASSERT_EQ(media->errors().size(), 1u);
    EXPECT_NE(media->errors()[0].find(folder->path("assets").string()), std::string::npos)
        << media->errors()[0];
    EXPECT_NE(err.find("data folder"), std::string::npos) << err;
    EXPECT_EQ(media->windowWidth(), 0) << "no window opens without the data";
}

} // namespace
} // namespace zindle
