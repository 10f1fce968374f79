// Frames on the real renderer, recorded by the headless run and drawn by the SDL media layer
// into its software renderer (dummy video driver unless another is asked for), one present per
// iteration after the frame's drawing calls (timed apart as drawMs): the worst frame (the win
// fountain's peak) in a window of the picture's size, against a plain blend loop on the same
// frame, and the idle title in a 1920 by 1080 window, the full-screen case. The renderer is
// chosen as the game chooses it: naming it in the environment would also turn SDL's batching
// off, which the game never runs without.
#include "media/sdl/sdl_media.h"
#include "reference_blend.h"
#include "replay.h"
#include "scenes.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
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
constexpr std::uint32_t kSky = 0x85E3FF;

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

// Presents the recorded frame once per iteration in a window of the given size. With
// compare, every iteration also draws the frame with the plain blend loop (outside the timed
// part), and the counters give both mean times and their ratio, taken side by side.
void renderFrames(benchmark::State& state, const std::vector<shot::RecordedTile>& tiles,
                  int windowWidth, int windowHeight, bool compare = false) {
    dropScene();
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    SdlMedia& sdl = SdlMedia::install();
    media_create_main_frame(
        [&](WindowHandle window) {
            const StageHandle stage = media_get_frame_stage(window);
            if (windowWidth != kPictureWidth || windowHeight != kPictureHeight)
                SDL_SetWindowSize(sdl.sdlWindow(), windowWidth, windowHeight);
            const shot::ReplayedFrame frame = shot::replayFrame(stage, tiles, kSky);
            std::unique_ptr<ReferenceBlend> reference;
            if (compare)
                reference =
                    std::make_unique<ReferenceBlend>(tiles, kSky, kPictureWidth, kPictureHeight);
            double renderer = 0;
            double plain = 0;
            double drawing = 0;
            for (auto _ : state) {
                // The drawing calls, as the game makes them before each render: timed apart, so
                // that work moved between them and the render shows.
                state.PauseTiming();
                const double drawStart = threadSeconds();
                frame.draw();
                drawing += threadSeconds() - drawStart;
                state.ResumeTiming();
                const double start = threadSeconds();
                media_render_stage(stage);
                const double drawn = threadSeconds();
                renderer += drawn - start;
                if (reference) {
                    state.PauseTiming();
                    const double begin = threadSeconds();
                    reference->drawAndPresent();
                    plain += threadSeconds() - begin;
                    state.ResumeTiming();
                }
            }
            reportBudgetShare(state, kFrameBudget, renderer);
            const auto runs = static_cast<double>(state.iterations());
            state.counters["tiles"] = static_cast<double>(tiles.size());
            state.counters["ms"] = 1e3 * renderer / runs;
            state.counters["drawMs"] = 1e3 * drawing / runs;
            if (reference) {
                state.counters["referenceMs"] = 1e3 * plain / runs;
                state.counters["ratio"] = renderer / plain;
            }
            SDL_RendererInfo info{};
            SDL_GetRendererInfo(SDL_GetRenderer(sdl.sdlWindow()), &info);
            state.SetLabel(info.name != nullptr ? info.name : "?");
            reference.reset();
            media_close();
        },
        kPictureWidth, kPictureHeight, 8, "zindle-bench", BitmapHandle::None);
}

// The win fountain's peak against the plain blend loop on the same frame.
void BM_RenderWorstFrameSdl(benchmark::State& state) {
    renderFrames(state, recordWorstFrame(), kPictureWidth, kPictureHeight, true);
}

// The idle title stretched to a full screen of 1920 by 1080.
void BM_RenderTitleAt1920x1080Sdl(benchmark::State& state) {
    renderFrames(state, recordTitleFrame(), kFullScreenWidth, kFullScreenHeight);
}

} // namespace

BENCHMARK(BM_RenderWorstFrameSdl)->Iterations(kRenderIterations);
BENCHMARK(BM_RenderTitleAt1920x1080Sdl)->Iterations(kRenderIterations);
