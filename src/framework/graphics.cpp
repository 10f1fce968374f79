// A drawing list: clearing it and appending batches of tiles through the media layer.
#include "framework/graphics.h"

#include "framework/bitmap_data.h"
#include "framework/tilesheet.h"

namespace zindle {

void Graphics::clear() {
    media_gfx_clear(handle_);
}

void Graphics::beginBitmapFill(const BitmapData& bitmap, bool repeat, bool smooth) {
    media_gfx_begin_bitmap_fill(handle_, bitmap.handle(), repeat, smooth);
}

void Graphics::drawTiles(const Tilesheet& sheet, std::span<const double> data, bool smooth,
                         int flags) {
    beginBitmapFill(sheet.bitmap(), false, smooth);
    if (smooth)
        flags |= Tilesheet::TILE_SMOOTH;
    media_gfx_draw_tiles(handle_, sheet.handle(), data, flags);
}

} // namespace zindle
