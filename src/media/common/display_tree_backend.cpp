// The primitives every backend shares: reading whole files through the one asset reader, and
// handing the display tree its containers, drawing lists and tile sheets.
#include "media/common/display_tree_backend.h"

#include "media/common/asset_file.h"

namespace zindle {

std::optional<std::vector<std::uint8_t>>
DisplayTreeBackend::media_byte_array_read_file(const std::string& path) {
    return readAsset(path, kMaxTextFileBytes);
}

SheetHandle DisplayTreeBackend::media_tilesheet_create(BitmapHandle bitmap) {
    return tree_.createSheet(bitmap);
}

void DisplayTreeBackend::media_tilesheet_add_rect(SheetHandle sheet, const Rectangle& rect,
                                                  const Point& centre) {
    tree_.addRect(sheet, rect, centre);
}

ObjectHandle DisplayTreeBackend::media_create_display_object_container() {
    return tree_.createContainer();
}

void DisplayTreeBackend::media_doc_add_child(ObjectHandle parent, ObjectHandle child) {
    tree_.addChild(parent, child);
}

GraphicsHandle DisplayTreeBackend::media_display_object_get_graphics(ObjectHandle object) {
    return tree_.graphicsOf(object);
}

void DisplayTreeBackend::media_gfx_clear(GraphicsHandle graphics) {
    tree_.clear(graphics);
}

// Tiles are always drawn unrepeated; the repeat flag has nothing to act on.
void DisplayTreeBackend::media_gfx_begin_bitmap_fill(GraphicsHandle graphics, BitmapHandle bitmap,
                                                     bool /*repeat*/, bool smooth) {
    tree_.beginBitmapFill(graphics, bitmap, smooth);
}

void DisplayTreeBackend::media_gfx_draw_tiles(GraphicsHandle graphics, SheetHandle sheet,
                                              std::span<const double> data, int flags) {
    tree_.drawTiles(graphics, sheet, data, flags);
}

} // namespace zindle
