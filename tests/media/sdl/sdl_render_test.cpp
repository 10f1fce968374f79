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

// Tiles wholly outside the picture are dropped before drawing: every tile that straddles an
// edge or a corner, or lies just inside or just outside, must still leave exactly the pixels a
// plain composition of the atlas gives.
TEST_F(SdlRenderTest, TilesAtAndBeyondEveryEdgeLeaveTheSamePicture) {
    const std::vector<std::uint32_t> atlas{kRed,  kGreen, kClear, kGreen,
                                           kBlue, kWhite, kGreen, kGreen};
    const std::vector<double> lefts{-1e9, -3, -2, -1, 0, 1, 238, 477, 478, 479, 480, 481, 1e9};
    const std::vector<double> tops{-1e9, -3, -2, -1, 0, 1, 158, 317, 318, 319, 320, 321, 1e9};
    std::vector<double> triples;
    std::vector<std::uint32_t> expected(480u * 320u, kSky);
    int id = 0;
    for (double top : tops) {
        for (double left : lefts) {
            // Tile 0's centre is (1, 1), tile 1's (0, 0): both land with their corner on (left,
            // top).
            triples.insert(triples.end(), {left + (id == 0 ? 1 : 0), top + (id == 0 ? 1 : 0),
                                           static_cast<double>(id)});
            for (int y = 0; y < 2; ++y) {
                for (int x = 0; x < 2; ++x) {
                    const double px = left + x;
                    const double py = top + y;
                    const std::uint32_t texel = atlas[static_cast<std::size_t>(y * 4 + id * 2 + x)];
                    if (px >= 0 && px < 480 && py >= 0 && py < 320 && texel != kClear)
                        expected[static_cast<std::size_t>(py * 480 + px)] = texel;
                }
            }
            id = 1 - id;
        }
    }
    const auto pixels = draw(triples);
    ASSERT_EQ(pixels.size(), expected.size());
    for (std::size_t i = 0; i < pixels.size(); ++i)
        ASSERT_EQ(pixels[i], expected[i]) << "pixel (" << i % 480 << ", " << i / 480 << ")";
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

// Exact fit fills the window: a whole multiple pixel for pixel; any other size sharply, each
// picture pixel a block of whole window pixels with only its edges blended.
TEST_F(SdlRenderTest, ExactFitFillsTheWindowWholeMultiplesSharpAndTheRestSmoothAtTheEdges) {
    auto& media = freshMedia();
    std::vector<std::uint32_t> twice;
    std::vector<std::uint32_t> fraction;
    runWindow(media, [&](StageHandle stage) {
        media.media_stage_set_scale_mode(stage, StageScaleMode::EXACT_FIT);
        media.media_display_object_set_bg(stageObject(stage), 0x85E3FF);
        const BitmapHandle atlas = media.media_bitmap_data_load(dir.file("atlas.png"), 0);
        const SheetHandle sheet = media.media_tilesheet_create(atlas);
        media.media_tilesheet_add_rect(sheet, {0, 0, 2, 2}, {0, 0});
        const std::vector<double> data{10, 20, 0};
        media.media_gfx_draw_tiles(media.media_display_object_get_graphics(stageObject(stage)),
                                   sheet, data, 0);
        int w = 0;
        int h = 0;
        SDL_SetWindowSize(media.sdlWindow(), 960, 640);
        media.media_render_stage(stage);
        twice = media.readWindowPixels(w, h);
        EXPECT_EQ(w, 960);
        // Two and a half times: twice sharply, then smoothly.
        SDL_SetWindowSize(media.sdlWindow(), 1200, 800);
        media.media_render_stage(stage);
        fraction = media.readWindowPixels(w, h);
        EXPECT_EQ(w, 1200);
        EXPECT_EQ(h, 800);
        media.media_close();
    });
    ASSERT_EQ(twice.size(), 960u * 640u);
    auto win = [&](int x, int y) { return twice[static_cast<std::size_t>(y * 960 + x)]; };
    // Logical pixel (10, 20) covers window pixels 20..21 by 40..41; (11, 21) is 22..23 by 42..43.
    EXPECT_EQ(win(20, 40), kRed);
    EXPECT_EQ(win(21, 41), kRed);
    EXPECT_EQ(win(22, 40), kGreen);
    EXPECT_EQ(win(23, 43), kWhite);
    EXPECT_EQ(win(24, 43), kSky);
    EXPECT_EQ(win(19, 40), kSky);
    EXPECT_EQ(win(959, 639), kSky);

    ASSERT_EQ(fraction.size(), 1200u * 800u);
    auto at = [&](int x, int y) { return fraction[static_cast<std::size_t>(y * 1200 + x)]; };
    // Pixel centres: (10, 20) lands at 26.25, 51.25 and (11, 20) at 28.75, 51.25.
    EXPECT_EQ(at(26, 51), kRed);
    EXPECT_EQ(at(28, 51), kGreen);
    // Between them one window pixel blends the two; none blends sky far from any edge.
    const std::uint32_t edge = at(27, 51);
    EXPECT_NE(edge, kRed);
    EXPECT_NE(edge, kGreen);
    EXPECT_GT(edge >> 16 & 0xFF, 0u);
    EXPECT_GT(edge >> 8 & 0xFF, 0u);
    EXPECT_EQ(edge & 0xFF, 0u);
    EXPECT_EQ(at(600, 400), kSky);
    EXPECT_EQ(at(1199, 799), kSky);
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
