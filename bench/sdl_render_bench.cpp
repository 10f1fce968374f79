// Frames on the real renderer, recorded by the headless run and drawn by the SDL media layer
// into its software renderer (dummy video driver unless another is asked for), one present per
// iteration: the worst frame (the win fountain's peak) in a window of the picture's size, and
// the idle title in a 1920 by 1080 window, the full-screen case.
#include "media/sdl/sdl_media.h"
#include "replay.h"
#include "scenes.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <stdexcept>
#include <vector>

using namespace zindle;
using namespace zindle::bench;

namespace {

constexpr int kRenderIterations = 200;
constexpr int kPictureWidth = 480; // px, the stage
constexpr int kPictureHeight = 320;
constexpr int kFullScreenWidth = 1920; // px, a common desktop
constexpr int kFullScreenHeight = 1080;

std::vector<shot::RecordedTile> recordWorstFrame() {
    sim::Simulation& sim = scene(Scene::WinFountain);
    if (sim.media().frames().empty())
        throw std::runtime_error("the fountain rendered no frame");
    return shot::recordFrame(sim.media().frames().back());
}

std::vector<shot::RecordedTile> recordTitleFrame() {
    sim::Simulation& sim = scene(Scene::Title);
    if (sim.media().frames().empty())
        throw std::runtime_error("the title rendered no frame");
    return shot::recordFrame(sim.media().frames().back());
}

// Presents the recorded frame once per iteration in a window of the given size.
void renderFrames(benchmark::State& state, const std::vector<shot::RecordedTile>& tiles,
                  int windowWidth, int windowHeight) {
    dropScene();
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_RENDER_DRIVER", "software", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    SdlMedia& sdl = SdlMedia::install();
    media_create_main_frame(
        [&](WindowHandle window) {
            const StageHandle stage = media_get_frame_stage(window);
            if (windowWidth != kPictureWidth || windowHeight != kPictureHeight)
                SDL_SetWindowSize(sdl.sdlWindow(), windowWidth, windowHeight);
            shot::replayFrame(stage, tiles, 0x85E3FF);
            const double start = threadSeconds();
            for (auto _ : state)
                media_render_stage(stage);
            reportBudgetShare(state, kFrameBudget, threadSeconds() - start);
            state.counters["tiles"] = static_cast<double>(tiles.size());
            media_close();
        },
        kPictureWidth, kPictureHeight, 8, "zindle-bench", BitmapHandle::None);
}

void BM_RenderWorstFrameSdl(benchmark::State& state) {
    renderFrames(state, recordWorstFrame(), kPictureWidth, kPictureHeight);
}

// The idle title stretched to a full screen of 1920 by 1080.
void BM_RenderTitleAt1920x1080Sdl(benchmark::State& state) {
    renderFrames(state, recordTitleFrame(), kFullScreenWidth, kFullScreenHeight);
}

} // namespace

BENCHMARK(BM_RenderWorstFrameSdl)->Iterations(kRenderIterations);
BENCHMARK(BM_RenderTitleAt1920x1080Sdl)->Iterations(kRenderIterations);
