// Replaying a recorded frame into the installed media layer, one sheet per atlas.
#include "replay.h"

#include "framework/assets.h"
#include "framework/bitmap_data.h"
#include "match/game.h"
#include "render/tiler.h"

#include <array>
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

void ReplayedFrame::draw() const {
    media_gfx_clear(graphics);
    for (const Batch& batch : batches) {
        media_gfx_begin_bitmap_fill(graphics, batch.atlas, false, false);
        media_gfx_draw_tiles(graphics, batch.sheet, batch.data, 0);
    }
}

ReplayedFrame replayFrame(StageHandle stage, const std::vector<RecordedTile>& tiles,
                          std::uint32_t background) {
    struct Atlas {
        BitmapHandle bitmap = BitmapHandle::None;
        SheetHandle sheet = SheetHandle::None;
        // One id per distinct rectangle and centre, as the game's tile lists give one id per
        // named tile, so that the sheet is as small as the game's.
        std::map<std::array<double, 6>, int> ids;
    };
    std::map<std::string, Atlas> atlases;
    ReplayedFrame frame;
    const ObjectHandle container = media_create_display_object_container();
    media_doc_add_child(stageObject(stage), container);
    frame.graphics = media_display_object_get_graphics(container);
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
        ReplayedFrame::Batch& batch = frame.batches.emplace_back();
        batch.atlas = atlas.bitmap;
        batch.sheet = atlas.sheet;
        for (; i < tiles.size() && tiles[i].atlas == it->first; ++i) {
            const RecordedTile& tile = tiles[i];
            const std::array<double, 6> key{tile.rect.x,      tile.rect.y,   tile.rect.width,
                                            tile.rect.height, tile.centre.x, tile.centre.y};
            const auto [id, fresh] = atlas.ids.try_emplace(key, static_cast<int>(atlas.ids.size()));
            if (fresh)
                media_tilesheet_add_rect(atlas.sheet, tile.rect, tile.centre);
            batch.data.insert(batch.data.end(), {tile.x, tile.y, double(id->second)});
        }
    }
    frame.draw();
    return frame;
}

} // namespace zindle::shot
