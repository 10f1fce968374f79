// The worst frame on the real renderer: the tiles of the win fountain's peak, recorded by the
// headless run, drawn by the SDL media layer into its software renderer (dummy video driver
// unless another is asked for), one present per iteration.
#include "framework/assets.h"
#include "framework/bitmap_data.h"
#include "match/game.h"
#include "media/sdl/sdl_media.h"
#include "render/tiler.h"
#include "scenes.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <map>
#include <stdexcept>
#include <tuple>
#include <vector>

using namespace zindle;
using namespace zindle::bench;

namespace {

constexpr int kRenderIterations = 200;

struct RecordedTile {
    std::string atlas; // asset id of the atlas image
    MediaRect rect;
    MediaPoint centre;
    double x, y;
};

std::vector<RecordedTile> recordWorstFrame() {
    sim::Simulation& sim = scene(Scene::WinFountain);
    const auto& frames = sim.media().frames();
    if (frames.empty())
        throw std::runtime_error("the fountain rendered no frame");
    const BitmapHandle game = Game::tiler->tilesheet->bitmap().handle();
    std::vector<RecordedTile> tiles;
    for (const auto& t : frames.back().tiles)
        tiles.push_back({t.atlas == game ? "assets/gametiles.png" : "assets/title.png", t.rect,
                         t.centre, t.x, t.y});
    return tiles;
}

// Rebuilds the recorded frame as one container with one tile batch per run of one atlas,
// each recorded tile becoming its own rectangle in that atlas's sheet.
void buildFrame(StageHandle stage, const std::vector<RecordedTile>& tiles) {
    struct Atlas {
        BitmapHandle bitmap;
        SheetHandle sheet;
        int nextId = 0;
    };
    std::map<std::string, Atlas> atlases;
    const ObjectHandle container = media_create_display_object_container();
    media_doc_add_child(stageObject(stage), container);
    const GraphicsHandle graphics = media_display_object_get_graphics(container);
    media_display_object_set_bg(stageObject(stage), 0x85E3FF);

    std::size_t i = 0;
    while (i < tiles.size()) {
        auto [it, added] = atlases.try_emplace(tiles[i].atlas);
        Atlas& atlas = it->second;
        if (added) {
            atlas.bitmap = media_bitmap_data_load(Assets::resolve(tiles[i].atlas), 0);
            if (atlas.bitmap == BitmapHandle::None)
                throw std::runtime_error("cannot load " + tiles[i].atlas);
            atlas.sheet = media_tilesheet_create(atlas.bitmap);
        }
        std::vector<double> data;
        for (; i < tiles.size() && tiles[i].atlas == it->first; ++i) {
            media_tilesheet_add_rect(atlas.sheet, tiles[i].rect, tiles[i].centre);
            data.insert(data.end(), {tiles[i].x, tiles[i].y, double(atlas.nextId++)});
        }
        media_gfx_begin_bitmap_fill(graphics, atlas.bitmap, false, false);
        media_gfx_draw_tiles(graphics, atlas.sheet, data, 0);
    }
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
            buildFrame(stage, tiles);
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
