// The tiles blended on the processor against SDL's own copies on its software renderer: a
// dense random frame must come out the same pixel for pixel, through the picture texture and
// straight into the window.
#include "sdl_test_support.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <random>

namespace zindle {
namespace {

using test::freshMedia;
using test::runWindow;

constexpr int kAtlasSize = 64;

struct Drawn {
    std::vector<std::uint32_t> picture; // through the picture texture
    std::vector<std::uint32_t> window;  // straight into the window
};

class SdlProcessorBlendTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Every alpha level with scattered colours, and a quarter each wholly clear or opaque,
        // the two cases the blend skips.
        std::mt19937 random(7);
        std::vector<std::uint32_t> pixels(kAtlasSize * kAtlasSize);
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            std::uint32_t alpha = i < 256 ? static_cast<std::uint32_t>(i) : random() & 0xFF;
            if (i >= 256 && random() % 4 == 0)
                alpha = random() % 2 == 0 ? 0 : 255;
            pixels[i] = alpha << 24 | (random() & 0xFFFFFF);
        }
        test::writePng(dir.file("atlas.png"), kAtlasSize, kAtlasSize, pixels);
    }

    Drawn draw(bool onProcessor, const std::vector<Rectangle>& rects,
               const std::vector<double>& triples) {
        auto& media = freshMedia();
        media.blendTilesOnProcessor(onProcessor);
        Drawn drawn;
        runWindow(media, [&](StageHandle stage) {
            SDL_RendererInfo info{};
            SDL_GetRendererInfo(SDL_GetRenderer(media.sdlWindow()), &info);
            software = (info.flags & SDL_RENDERER_SOFTWARE) != 0;
            media.media_display_object_set_bg(stageObject(stage), 0x4A7F21);
            const BitmapHandle atlas = media.media_bitmap_data_load(dir.file("atlas.png"), 0);
            const SheetHandle sheet = media.media_tilesheet_create(atlas);
            for (const Rectangle& rect : rects)
                media.media_tilesheet_add_rect(sheet, rect, {rect.width / 2, rect.height / 2});
            const ObjectHandle sprite = media.media_create_display_object_container();
            media.media_doc_add_child(stageObject(stage), sprite);
            const GraphicsHandle gfx = media.media_display_object_get_graphics(sprite);
            // Two batches, so that the second blends over the first.
            const std::size_t half = triples.size() / 6 * 3;
            media.media_gfx_begin_bitmap_fill(gfx, atlas, false, false);
            media.media_gfx_draw_tiles(
                gfx, sheet, std::vector<double>(triples.begin(), triples.begin() + half), 0);
            media.media_gfx_draw_tiles(
                gfx, sheet, std::vector<double>(triples.begin() + half, triples.end()), 0);
            media.media_render_stage(stage);
            int w = 0;
            int h = 0;
            drawn.window = media.readWindowPixels(w, h);
            drawn.picture = media.readPixels();
            media.media_close();
        });
        return drawn;
    }

    void expectSamePictures(const std::vector<Rectangle>& rects,
                            const std::vector<double>& triples) {
        const Drawn bySdl = draw(false, rects, triples);
        if (!software)
            GTEST_SKIP() << "not on SDL's software renderer";
        const Drawn byProcessor = draw(true, rects, triples);
        ASSERT_EQ(bySdl.picture.size(), 480u * 320u);
        ASSERT_EQ(bySdl.window.size(), 480u * 320u);
        for (const auto* pair : {&bySdl.picture, &bySdl.window}) {
            const auto& mine = pair == &bySdl.picture ? byProcessor.picture : byProcessor.window;
            ASSERT_EQ(mine.size(), pair->size());
            for (std::size_t i = 0; i < mine.size(); ++i)
                ASSERT_EQ(mine[i], (*pair)[i]) << (pair == &bySdl.picture ? "picture" : "window")
                                               << " pixel (" << i % 480 << ", " << i / 480 << ")";
        }
    }

    test::ScratchDir dir;
    bool software = false;
};

// Many overlapping tiles of every size up to 16 pixels, placed on halves and quarters of a
// pixel on both sides of zero, across every edge and beyond, with a few bad ids.
TEST_F(SdlProcessorBlendTest, DenseRandomFrameMatchesSdlsOwnCopies) {
    std::mt19937 random(2024);
    std::vector<Rectangle> rects;
    for (int i = 0; i < 40; ++i) {
        const int w = 1 + static_cast<int>(random() % 16);
        const int h = 1 + static_cast<int>(random() % 16);
        rects.push_back({static_cast<double>(random() % (kAtlasSize - w + 1)),
                         static_cast<double>(random() % (kAtlasSize - h + 1)),
                         static_cast<double>(w), static_cast<double>(h)});
    }
    std::vector<double> triples;
    for (int i = 0; i < 6000; ++i) {
        const double x = static_cast<double>(random() % 2120) / 4 - 20; // -20 .. 509.75
        const double y = static_cast<double>(random() % 1480) / 4 - 20; // -20 .. 349.75
        const double id = random() % 50 == 0 ? 40 + random() % 3 : random() % 40;
        triples.insert(triples.end(), {x, y, id});
    }
    expectSamePictures(rects, triples);
}

// A rectangle reaching out of its atlas is stretched by SDL: the frame is left to SDL's path.
TEST_F(SdlProcessorBlendTest, RectangleLeavingTheAtlasMatchesToo) {
    expectSamePictures({{0, 0, 8, 8}, {60, 60, 8, 8}}, {100, 100, 0, 110.5, 100, 1, 40, 40, 1});
}

} // namespace
} // namespace zindle
