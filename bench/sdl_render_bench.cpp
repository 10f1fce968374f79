// The worst frame on the real renderer: the tiles of the win fountain's peak, recorded by the
// headless run, drawn by the SDL media layer into its software renderer (dummy video driver
// unless another is asked for), one present per iteration.
#include "media/sdl/sdl_media.h"
#include "replay.h"
#include "scenes.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <stdexcept>
#include <vector>

using namespace zindle;
using namespace zindle::bench;

namespace {

constexpr int kRenderIterations = 200;

std::vector<shot::RecordedTile> recordWorstFrame() {
    sim::Simulation& sim = scene(Scene::WinFountain);
    if (sim.media().frames().empty())
        throw std::runtime_error("the fountain rendered no frame");
    return shot::recordFrame(sim.media().frames().back());
}

void BM_RenderWorstFrameSdl(benchmark::State& state) {
    const auto tiles = recordWorstFrame();
    dropScene();
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_RENDER_DRIVER", "software", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    SdlMedia::install();
    media_create_main_frame(
        [&](WindowHandle window) {
            const StageHandle stage = media_get_frame_stage(window);
            shot::replayFrame(stage, tiles, 0x85E3FF);
            const double start = threadSeconds();
            for (auto _ : state)
                media_render_stage(stage);
            reportBudgetShare(state, kFrameBudget, threadSeconds() - start);
            state.counters["tiles"] = static_cast<double>(tiles.size());
            media_close();
        },
        480, 320, 8, "zindle-bench", BitmapHandle::None);
}

} // namespace

BENCHMARK(BM_RenderWorstFrameSdl)->Iterations(kRenderIterations);
