// A screenshot is only worth its name if it shows what the player sees: the frame composed by
// zindle-shot must match what the SDL media layer's own renderer paints from the same tiles.
#include "compose.h"
#include "media/sdl/sdl_media.h"
#include "replay.h"
#include "simulation.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace zindle;

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 320;
constexpr int kChannelTolerance = 2; // rounding of the blend may differ by a step or two

struct Shot {
    shot::Image composed;
    std::vector<shot::RecordedTile> tiles;
    std::uint32_t background;
};

Shot takeShot(const std::vector<int>& ai, std::int64_t frames) {
    sim::RunConfig config;
    config.seed = 3;
    config.aiPlayers = ai;
    sim::Simulation run(config);
    run.runFrames(frames);
    HeadlessMedia& media = run.media();
    auto atlas = [&media](BitmapHandle bitmap) {
        return shot::AtlasPixels{media.media_bitmap_data_width(bitmap),
                                 media.media_bitmap_data_height(bitmap), &media.pixels(bitmap)};
    };
    const auto& frame = media.frames().back();
    return {shot::composeFrame(frame, atlas, media.background(), kWidth, kHeight),
            shot::recordFrame(frame), media.background()};
}

std::vector<std::uint32_t> renderWithSdl(const Shot& shot) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_RENDER_DRIVER", "software", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    SdlMedia& sdl = SdlMedia::install();
    std::vector<std::uint32_t> pixels;
    media_create_main_frame(
        [&](WindowHandle window) {
            const StageHandle stage = media_get_frame_stage(window);
            shot::replayFrame(stage, shot.tiles, shot.background);
            media_render_stage(stage);
            pixels = sdl.readPixels();
            media_close();
        },
        kWidth, kHeight, 8, "fidelity", BitmapHandle::None);
    return pixels;
}

double shareDiffering(const shot::Image& composed, const std::vector<std::uint32_t>& rendered) {
    int differing = 0;
    for (int i = 0; i < kWidth * kHeight; ++i) {
        const std::uint32_t argb = rendered[i];
        const int channels[3] = {int(argb >> 16 & 0xFF), int(argb >> 8 & 0xFF), int(argb & 0xFF)};
        for (int c = 0; c < 3; ++c) {
            if (std::abs(channels[c] - composed.rgb[i * 3 + c]) > kChannelTolerance) {
                ++differing;
                break;
            }
        }
    }
    return double(differing) / (kWidth * kHeight);
}

} // namespace

TEST(ShotFidelityTest, ScreenshotsMatchWhatTheSdlRendererPaints) {
    for (const auto& [ai, frames] : {std::pair{std::vector<int>{}, std::int64_t{60}},
                                     std::pair{std::vector<int>{1, 2, 3, 4}, std::int64_t{600}}}) {
        const Shot shot = takeShot(ai, frames);
        const auto rendered = renderWithSdl(shot);
        ASSERT_EQ(rendered.size(), std::size_t(kWidth * kHeight));
        EXPECT_LT(shareDiffering(shot.composed, rendered), 0.001)
            << ai.size() << " computer players, frame " << frames;
    }
}
