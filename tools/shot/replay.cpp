// Replaying a recorded frame into the installed media layer, one sheet per atlas.
#include "replay.h"

#include "framework/assets.h"
#include "framework/bitmap_data.h"
#include "match/game.h"
#include "render/tiler.h"

#include <map>
#include <stdexcept>

namespace zindle::shot {

std::vector<RecordedTile> recordFrame(const HeadlessMedia::Frame& frame) {
    // Resolved now, while the catalogue still knows where the data lies.
    const BitmapHandle game = Game::tiler->tilesheet->bitmap().handle();
    const std::string gamePath = Assets::resolve("assets/gametiles.png");
    const std::string titlePath = Assets::resolve("assets/title.png");
    std::vector<RecordedTile> tiles;
    tiles.reserve(frame.tiles.size());
    for (const auto& t : frame.tiles)
        tiles.push_back({t.atlas == game ? gamePath : titlePath, t.rect, t.centre, t.x, t.y});
    return tiles;
}

void replayFrame(StageHandle stage, const std::vector<RecordedTile>& tiles,
                 std::uint32_t background) {
    struct Atlas {
        BitmapHandle bitmap = BitmapHandle::None;
        SheetHandle sheet = SheetHandle::None;
        int nextId = 0;
    };
    std::map<std::string, Atlas> atlases;
    const ObjectHandle container = media_create_display_object_container();
    media_doc_add_child(stageObject(stage), container);
    const GraphicsHandle graphics = media_display_object_get_graphics(container);
    media_display_object_set_bg(stageObject(stage), background);

    std::size_t i = 0;
    while (i < tiles.size()) {
        auto [it, added] = atlases.try_emplace(tiles[i].atlas);
        Atlas& atlas = it->second;
        if (added) {
            atlas.bitmap = media_bitmap_data_load(tiles[i].atlas, 0);
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

} // namespace zindle::shot
