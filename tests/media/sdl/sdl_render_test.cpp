#include "sdl_test_support.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace zindle {
namespace {

using test::freshMedia;
using test::runWindow;

constexpr std::uint32_t kRed = 0xFFFF0000;
constexpr std::uint32_t kGreen = 0xFF00FF00;
constexpr std::uint32_t kBlue = 0xFF0000FF;
constexpr std::uint32_t kWhite = 0xFFFFFFFF;
constexpr std::uint32_t kClear = 0x00000000;
constexpr std::uint32_t kSky = 0xFF85E3FF;

// A 4 by 2 atlas: tile 0 is the left 2 by 2 square (red, green / blue, white), tile 1 the right
// one (all green but a transparent top-left pixel).
class SdlRenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::writePng(dir.file("atlas.png"), 4, 2,
                       {kRed, kGreen, kClear, kGreen, kBlue, kWhite, kGreen, kGreen});
    }

    // Loads the atlas, draws the triples on a child of the stage, renders, and returns the
    // picture.
    std::vector<std::uint32_t> draw(std::vector<double> triples, std::uint32_t bg = 0x85E3FF) {
        auto& media = freshMedia();
        std::vector<std::uint32_t> pixels;
        runWindow(media, [&](StageHandle stage) {
            media.media_display_object_set_bg(stageObject(stage), bg);
            const BitmapHandle atlas = media.media_bitmap_data_load(dir.file("atlas.png"), 0);
            EXPECT_EQ(media.media_bitmap_data_width(atlas), 4);
            EXPECT_EQ(media.media_bitmap_data_height(atlas), 2);
            const SheetHandle sheet = media.media_tilesheet_create(atlas);
            media.media_tilesheet_add_rect(sheet, {0, 0, 2, 2}, {1, 1});
            media.media_tilesheet_add_rect(sheet, {2, 0, 2, 2}, {0, 0});
            const ObjectHandle sprite = media.media_create_display_object_container();
            media.media_doc_add_child(stageObject(stage), sprite);
            const GraphicsHandle gfx = media.media_display_object_get_graphics(sprite);
            media.media_gfx_begin_bitmap_fill(gfx, atlas, false, false);
            media.media_gfx_draw_tiles(gfx, sheet, triples, 0);
            media.media_render_stage(stage);
            pixels = media.readPixels();
            media.media_close();
        });
        return pixels;
    }

    static std::uint32_t at(const std::vector<std::uint32_t>& pixels, int x, int y) {
        return pixels.at(static_cast<std::size_t>(y * 480 + x));
    }

    test::ScratchDir dir;
};

TEST_F(SdlRenderTest, TileLandsWithItsCentreOnThePointUnscaled) {
    const auto pixels = draw({10, 20, 0, 100, 50, 1});
    ASSERT_EQ(pixels.size(), 480u * 320u);
    // Tile 0's centre (1, 1) on (10, 20): its top-left pixel at (9, 19).
    EXPECT_EQ(at(pixels, 9, 19), kRed);
    EXPECT_EQ(at(pixels, 10, 19), kGreen);
    EXPECT_EQ(at(pixels, 9, 20), kBlue);
    EXPECT_EQ(at(pixels, 10, 20), kWhite);
    EXPECT_EQ(at(pixels, 11, 20), kSky);
    EXPECT_EQ(at(pixels, 8, 19), kSky);
    EXPECT_EQ(at(pixels, 9, 21), kSky);
    // Tile 1's centre (0, 0) on (100, 50); its transparent pixel shows the background.
    EXPECT_EQ(at(pixels, 100, 50), kSky);
    EXPECT_EQ(at(pixels, 101, 50), kGreen);
    EXPECT_EQ(at(pixels, 100, 51), kGreen);
    EXPECT_EQ(at(pixels, 101, 51), kGreen);
    EXPECT_EQ(at(pixels, 102, 51), kSky);
}

TEST_F(SdlRenderTest, LaterTilesCoverEarlierOnesAndBadIdsAreSkipped) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const auto pixels = draw({10, 10, 0, 200, 200, 2, 200, 200, -1, 200, 200, nan, 10, 10, 1});
    // Tile 1 drawn last at (10, 10): its transparent corner leaves tile 0's white pixel, its
    // green covers the rest.
    EXPECT_EQ(at(pixels, 9, 9), kRed);
    EXPECT_EQ(at(pixels, 10, 10), kWhite);
    EXPECT_EQ(at(pixels, 11, 10), kGreen);
    EXPECT_EQ(at(pixels, 10, 11), kGreen);
    EXPECT_EQ(at(pixels, 11, 11), kGreen);
    EXPECT_EQ(at(pixels, 200, 200), kSky);
    EXPECT_EQ(at(pixels, 199, 199), kSky);
}

TEST_F(SdlRenderTest, FractionalPositionsSnapToWholePixels) {
    const auto pixels = draw({30.4, 40.6, 0});
    // Top-left at (29.4, 39.6): pixel (29, 40).
    EXPECT_EQ(at(pixels, 29, 40), kRed);
    EXPECT_EQ(at(pixels, 30, 41), kWhite);
    EXPECT_EQ(at(pixels, 31, 41), kSky);
    EXPECT_EQ(at(pixels, 29, 39), kSky);
}

TEST_F(SdlRenderTest, BackgroundIsTheClearColour) {
    const auto pixels = draw({}, 0x123456);
    EXPECT_EQ(at(pixels, 0, 0), 0xFF123456u);
    EXPECT_EQ(at(pixels, 479, 319), 0xFF123456u);
}

TEST_F(SdlRenderTest, ExactFitStretchesThePictureToTheWholeWindowPixelForPixel) {
    auto& media = freshMedia();
    std::vector<std::uint32_t> window;
    runWindow(media, [&](StageHandle stage) {
        // As a full-screen desktop twice as wide and three times as high would make it.
        SDL_SetWindowSize(media.sdlWindow(), 960, 960);
        media.media_stage_set_scale_mode(stage, StageScaleMode::EXACT_FIT);
        media.media_display_object_set_bg(stageObject(stage), 0x85E3FF);
        const BitmapHandle atlas = media.media_bitmap_data_load(dir.file("atlas.png"), 0);
        const SheetHandle sheet = media.media_tilesheet_create(atlas);
        media.media_tilesheet_add_rect(sheet, {0, 0, 2, 2}, {0, 0});
        const std::vector<double> data{10, 20, 0};
        media.media_gfx_draw_tiles(media.media_display_object_get_graphics(stageObject(stage)),
                                   sheet, data, 0);
        media.media_render_stage(stage);
        int w = 0;
        int h = 0;
        window = media.readWindowPixels(w, h);
        EXPECT_EQ(w, 960);
        EXPECT_EQ(h, 960);
        media.media_close();
    });
    ASSERT_EQ(window.size(), 960u * 960u);
    auto win = [&](int x, int y) { return window[static_cast<std::size_t>(y * 960 + x)]; };
    // Logical pixel (10, 20) covers window pixels 20..21 by 60..62; (11, 21) is 22..23 by 63..65.
    EXPECT_EQ(win(20, 60), kRed);
    EXPECT_EQ(win(21, 62), kRed);
    EXPECT_EQ(win(22, 60), kGreen);
    EXPECT_EQ(win(23, 65), kWhite);
    EXPECT_EQ(win(24, 65), kSky);
    EXPECT_EQ(win(19, 60), kSky);
    EXPECT_EQ(win(959, 959), kSky);
}

// The window at the picture's size gets the picture as it is; a window of another shape, shown
// whole, gets black borders where the picture does not reach.
TEST_F(SdlRenderTest, WindowGetsThePictureAsItIsOrBorderedWhereItDoesNotReach) {
    auto& media = freshMedia();
    std::vector<std::uint32_t> same;
    std::vector<std::uint32_t> picture;
    std::vector<std::uint32_t> bordered;
    runWindow(media, [&](StageHandle stage) {
        media.media_display_object_set_bg(stageObject(stage), 0x85E3FF);
        const BitmapHandle atlas = media.media_bitmap_data_load(dir.file("atlas.png"), 0);
        const SheetHandle sheet = media.media_tilesheet_create(atlas);
        media.media_tilesheet_add_rect(sheet, {0, 0, 2, 2}, {0, 0});
        const std::vector<double> data{10, 20, 0};
        media.media_gfx_draw_tiles(media.media_display_object_get_graphics(stageObject(stage)),
                                   sheet, data, 0);
        int w = 0;
        int h = 0;
        media.media_render_stage(stage);
        same = media.readWindowPixels(w, h);
        picture = media.readPixels();
        SDL_SetWindowSize(media.sdlWindow(), 960, 960);
        media.media_stage_set_scale_mode(stage, StageScaleMode::SHOW_ALL);
        media.media_render_stage(stage);
        bordered = media.readWindowPixels(w, h);
        media.media_close();
    });
    EXPECT_EQ(same, picture);
    ASSERT_EQ(bordered.size(), 960u * 960u);
    auto win = [&](int x, int y) { return bordered[static_cast<std::size_t>(y * 960 + x)]; };
    // Twice the size, 160 rows of border above and below.
    EXPECT_EQ(win(0, 0), 0xFF000000u);
    EXPECT_EQ(win(959, 159), 0xFF000000u);
    EXPECT_EQ(win(0, 160), kSky);
    EXPECT_EQ(win(20, 160 + 40), kRed);
    EXPECT_EQ(win(959, 799), kSky);
    EXPECT_EQ(win(959, 800), 0xFF000000u);
}

TEST(SdlRenderOrderTest, ChildrenDrawAfterTheirParentInOrder) {
    test::ScratchDir dir;
    test::writePng(dir.file("a.png"), 1, 1, {kRed});
    test::writePng(dir.file("b.png"), 1, 1, {kBlue});
    auto& media = freshMedia();
    std::vector<std::uint32_t> pixels;
    runWindow(media, [&](StageHandle stage) {
        const ObjectHandle first = media.media_create_display_object_container();
        const ObjectHandle second = media.media_create_display_object_container();
        media.media_doc_add_child(stageObject(stage), first);
        media.media_doc_add_child(stageObject(stage), second);
        auto drawOne = [&](ObjectHandle object, const std::string& file, double x) {
            const BitmapHandle bitmap = media.media_bitmap_data_load(file, 0);
            const SheetHandle sheet = media.media_tilesheet_create(bitmap);
            media.media_tilesheet_add_rect(sheet, {0, 0, 1, 1}, {0, 0});
            const std::vector<double> data{x, 5, 0};
            media.media_gfx_draw_tiles(media.media_display_object_get_graphics(object), sheet, data,
                                       0);
        };
        drawOne(second, dir.file("b.png"), 5);
        drawOne(first, dir.file("a.png"), 5);
        drawOne(first, dir.file("a.png"), 6);
        // Cleared lists draw nothing.
        media.media_gfx_clear(media.media_display_object_get_graphics(stageObject(stage)));
        media.media_render_stage(stage);
        pixels = media.readPixels();
        media.media_close();
    });
    ASSERT_EQ(pixels.size(), 480u * 320u);
    EXPECT_EQ(pixels[5 * 480 + 5], kBlue);
    EXPECT_EQ(pixels[5 * 480 + 6], kRed);
}

TEST(SdlImageTest, UnreadableImagesGiveNoBitmapAndNeverHang) {
    test::ScratchDir dir;
    test::writePng(dir.file("whole.png"), 64, 64, std::vector<std::uint32_t>(64 * 64, kRed));
    const auto whole = *SdlMedia().media_byte_array_read_file(dir.file("whole.png"));
    // Cut off inside the header chunks, and inside the image data.
    for (std::size_t cut : {std::size_t{40}, whole.size() - 20}) {
        const std::string name = "cut" + std::to_string(cut) + ".png";
        test::writeText(dir.file(name), std::string(whole.begin(), whole.begin() + cut));
    }
    test::writeText(dir.file("noise.png"), "\x89PNG\r\n\x1a\nnot really");
    auto& media = freshMedia();
    EXPECT_NE(media.media_bitmap_data_load(dir.file("whole.png"), 0), BitmapHandle::None);
    EXPECT_EQ(media.media_bitmap_data_load(dir.file("cut40.png"), 0), BitmapHandle::None);
    EXPECT_EQ(media.media_bitmap_data_load(
                  dir.file("cut" + std::to_string(whole.size() - 20) + ".png"), 0),
              BitmapHandle::None);
    EXPECT_EQ(media.media_bitmap_data_load(dir.file("noise.png"), 0), BitmapHandle::None);
    EXPECT_EQ(media.media_bitmap_data_load(dir.file("missing.png"), 0), BitmapHandle::None);
    EXPECT_EQ(media.media_bitmap_data_load(dir.file(""), 0), BitmapHandle::None);
    EXPECT_EQ(media.media_bitmap_data_width(BitmapHandle::None), 0);
    EXPECT_EQ(media.media_bitmap_data_height(static_cast<BitmapHandle>(77)), 0);
    // Bad handles are harmless everywhere.
    const SheetHandle sheet = media.media_tilesheet_create(static_cast<BitmapHandle>(5));
    media.media_tilesheet_add_rect(static_cast<SheetHandle>(99), {0, 0, 1, 1}, {0, 0});
    const std::vector<double> data{1, 2, 0};
    media.media_gfx_draw_tiles(static_cast<GraphicsHandle>(42), sheet, data, 0);
    media.media_render_stage(static_cast<StageHandle>(3));
    EXPECT_TRUE(media.readPixels().empty());
}

// The atlases are PNG. Any other format would go to a decoder without our size limits: a tiny
// BMP or GIF that claims a huge size would hold gigabytes. They are refused by their signature,
// whatever their name, with one line naming the file.
TEST(SdlImageTest, OtherFormatsAreRefusedByTheirSignature) {
    test::ScratchDir dir;
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, 3, 2, 32, SDL_PIXELFORMAT_ARGB8888);
    SDL_FillRect(surface, nullptr, 0xFF0000FF);
    SDL_SaveBMP(surface, dir.file("blue.png").c_str());
    SDL_FreeSurface(surface);
    test::writeText(dir.file("tiny.png"), std::string("GIF89a\x01\0\x01\0\0\0\0;", 14));
    auto& media = freshMedia();
    testing::internal::CaptureStdout();
    EXPECT_EQ(media.media_bitmap_data_load(dir.file("blue.png"), 0), BitmapHandle::None);
    EXPECT_EQ(media.media_bitmap_data_load(dir.file("tiny.png"), 0), BitmapHandle::None);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Warning: " + dir.file("blue.png") +
                  ": not a PNG image\nWarning: " + dir.file("tiny.png") + ": not a PNG image\n");
}

TEST(SdlFileTest, ReadsWholeFilesAndFailsOnAnythingElse) {
    test::ScratchDir dir;
    const std::string bytes("tile\0list\n", 10);
    test::writeText(dir.file("list.txt"), bytes);
    test::writeText(dir.file("empty.txt"), "");
    std::string big(200'000, 'x');
    big[150'000] = 'y';
    test::writeText(dir.file("big.bin"), big);
    auto& media = freshMedia();
    const auto read = media.media_byte_array_read_file(dir.file("list.txt"));
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(std::string(read->begin(), read->end()), bytes);
    const auto empty = media.media_byte_array_read_file(dir.file("empty.txt"));
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->empty());
    const auto whole = media.media_byte_array_read_file(dir.file("big.bin"));
    ASSERT_TRUE(whole.has_value());
    EXPECT_EQ(std::string(whole->begin(), whole->end()), big);
    EXPECT_FALSE(media.media_byte_array_read_file(dir.file("missing.txt")).has_value());
    EXPECT_FALSE(media.media_byte_array_read_file(dir.file("")).has_value());
}

} // namespace
} // namespace zindle

namespace zindle {
namespace {

// The renderer the environment names is the one used; software also when it is named so.
TEST(SdlRendererChoiceTest, TheEnvironmentsChoiceWins) {
    test::useHeadlessDrivers();
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    SDL_Window* window = SDL_CreateWindow("t", 0, 0, 48, 32, SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
    EXPECT_TRUE(wantsSoftwareRenderer(window));
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "opengl");
    EXPECT_FALSE(wantsSoftwareRenderer(window));
    SDL_ResetHint(SDL_HINT_RENDER_DRIVER);
    // Only an X server is asked about direct rendering; other video drivers keep SDL's choice.
    if (std::string(SDL_GetCurrentVideoDriver()) != "x11") {
        EXPECT_FALSE(wantsSoftwareRenderer(window));
    }
    SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

} // namespace
} // namespace zindle
