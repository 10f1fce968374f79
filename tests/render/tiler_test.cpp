#include "app/process_state.h"
#include "render/tile_list.h"
#include "render/tiler.h"

#include "framework/display_object.h"
#include "framework/graphics.h"
#include "framework/lib.h"
#include "media/headless/headless_media.h"
#include "support/asset_folder.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <random>
#include <stdexcept>

namespace zindle {
namespace {

class TilerTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetProcessState();
        media = &HeadlessMedia::install();
        folder = std::make_unique<test::AssetFolder>();
        folder->copyTestData("atlas_64x32.png", "assets/gametiles.png");
    }
    void TearDown() override { resetProcessState(); }

    std::unique_ptr<Tiler> load(const std::string& list) {
        folder->write("assets/gametiles.txt", list);
        return std::make_unique<Tiler>("assets/gametiles");
    }

    // Draws every requested tile through a sprite on the stage and returns what was rendered.
    const HeadlessMedia::Frame& render(Tiler& tiler) {
        Lib::create([] {}, 480, 320, 60.0, 0x85E3FF, Lib::HARDWARE, "t");
        auto& sprite = Lib::current().addChild(std::make_unique<Sprite>());
        sprite.graphics().clear();
        tiler.endDraw(sprite.graphics());
        Lib::stage().mediaRender(false);
        return media->frames().back();
    }

    HeadlessMedia* media = nullptr;
    std::unique_ptr<test::AssetFolder> folder;
};

TEST_F(TilerTest, LaterLineOfARepeatedNameWins) {
    auto tiler = load("CROWN 0 0 16 16 8 8\ncrown 16 0 16 16 8 8\n");
    EXPECT_EQ(tiler->frames.at("CROWN"), 1);
    EXPECT_EQ(tiler->keys, (std::vector<std::string>{"CROWN", "CROWN"}));
}

TEST_F(TilerTest, WarningsGoToStandardOutputAndSkippedLinesUseNoId) {
    ::testing::internal::CaptureStdout();
    auto tiler = load("A 0 0 8 8 4 4\nB 1 2 3\nC 0 0 8 8 4 x\nD 8 0 8 8 4 4\n");
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "Warning: insufficient parameters specified for tile B\n"
                   "Warning: non-integer paramater specified for tile C\n"
                   "Warning: skipping tile due to broken parameter(s): C\n");
    EXPECT_EQ(tiler->frames.at("A"), 0);
    EXPECT_EQ(tiler->frames.at("D"), 1);
    EXPECT_EQ(tiler->frames.count("C"), 0u);
}

TEST_F(TilerTest, WarningsPastTheLimitAreCountedInOneLineNamingTheList) {
    std::string list;
    for (int i = 0; i < 60; ++i)
        list += "SHORT 1 2\n";
    list += "A 0 0 8 8 4 4\n";
    ::testing::internal::CaptureStdout();
    auto tiler = load(list);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 51) << out;
    EXPECT_NE(out.find("Warning: 10 more warnings about the tile list assets/gametiles.txt not "
                       "shown\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(tiler->frames.at("A"), 0);
}

TEST_F(TilerTest, AListWithoutTilesIsReportedInOneLine) {
    ::testing::internal::CaptureStdout();
    auto tiler = load("# only a comment\n");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "Warning: the tile list assets/gametiles.txt names no tiles\n");
    EXPECT_TRUE(tiler->keys.empty());
}

TEST_F(TilerTest, DrawTileMatchesNamesExactlyAndAddsTheScroll) {
    auto tiler = load("crown 16 0 16 16 8 8\n");
    tiler->beginDraw();
    tiler->drawTile("crown", 1, 2);
    tiler->drawTile("NOPE", 1, 2);
    EXPECT_TRUE(tiler->tileBuffer.empty());
    tiler->scrollY = 3;
    tiler->drawTile("CROWN", 10, 20);
    EXPECT_EQ(tiler->tileBuffer, (std::vector<double>{10, 23, 0}));
    tiler->beginDraw();
    EXPECT_TRUE(tiler->tileBuffer.empty());
}

TEST_F(TilerTest, EndDrawSubmitsTheFrameAsOneBatchInRequestOrder) {
    auto tiler = load("A 0 0 16 16 8 8\nB 16 0 8 4 2 1\n");
    tiler->beginDraw();
    tiler->drawTile("B", 100, 50);
    tiler->drawTile("A", 10, 20);
    const auto& frame = render(*tiler);
    ASSERT_EQ(frame.tiles.size(), 2u);
    EXPECT_EQ(frame.tiles[0].rect.x, 16);
    EXPECT_EQ(frame.tiles[0].rect.width, 8);
    EXPECT_EQ(frame.tiles[0].centre.x, 2);
    EXPECT_EQ(frame.tiles[0].x, 100);
    EXPECT_EQ(frame.tiles[1].rect.x, 0);
    EXPECT_EQ(frame.tiles[1].y, 20);
}

// A mangled list may lose tiles, but every name that survives draws its own rectangle.
TEST_F(TilerTest, EveryAcceptedNameDrawsItsOwnRectangle) {
    std::string list;
    for (int i = 0; i < 32; ++i)
        list += "T" + std::to_string(i) + " " + std::to_string(i * 2) + " " +
                std::to_string(i % 16) + " 2 " + std::to_string(i % 5) + " 1 1\n";
    std::mt19937 rng(99);
    for (int e = 0; e < 40; ++e)
        list[rng() % list.size()] = "x -0\n"[rng() % 5];
    ::testing::internal::CaptureStdout();
    auto tiler = load(list);
    ::testing::internal::GetCapturedStdout();

    tiler->beginDraw();
    for (const auto& name : tiler->keys)
        tiler->drawTile(name, 0, 0);
    const auto& frame = render(*tiler);
    ASSERT_EQ(frame.tiles.size(), tiler->keys.size());
    const TileList expected = readTileList(list, 64, 32);
    ASSERT_EQ(expected.tiles.size(), tiler->keys.size());
    for (std::size_t i = 0; i < frame.tiles.size(); ++i) {
        const int id = tiler->frames.at(tiler->keys[i]);
        const auto& want = expected.tiles[static_cast<std::size_t>(id)];
        EXPECT_EQ(want.name, tiler->keys[i]);
        EXPECT_EQ(frame.tiles[i].id, id);
        EXPECT_EQ(frame.tiles[i].rect.x, want.rect.x);
        EXPECT_EQ(frame.tiles[i].rect.y, want.rect.y);
        EXPECT_EQ(frame.tiles[i].rect.width, want.rect.width);
        EXPECT_EQ(frame.tiles[i].rect.height, want.rect.height);
    }
}

TEST_F(TilerTest, MissingAtlasOrListStopsWithTheFileName) {
    try {
        Tiler tiler("assets/title");
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("assets/title.png"), std::string::npos) << e.what();
    }
    try {
        Tiler tiler("assets/gametiles");
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("assets/gametiles.txt"), std::string::npos)
            << e.what();
    }
    folder->write("assets/title.png", "not a png");
    folder->write("assets/title.txt", "A 0 0 1 1 0 0\n");
    EXPECT_THROW(Tiler("assets/title"), std::runtime_error);
}

} // namespace
} // namespace zindle
