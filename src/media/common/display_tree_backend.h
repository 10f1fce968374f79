#pragma once
// What the three media backends (SDL, browser, headless) do alike: they read files the same way
// and keep the framework's display objects, drawing lists and tile sheets in a DisplayTree. A
// backend derives from this and adds the window, the clock, images, events, presenting and sound.
#include "framework/media.h"
#include "media/common/display_tree.h"

namespace zindle {

class DisplayTreeBackend : public MediaBackend {
public:
    std::optional<std::vector<std::uint8_t>>
    media_byte_array_read_file(const std::string& path) override;
    SheetHandle media_tilesheet_create(BitmapHandle bitmap) override;
    void media_tilesheet_add_rect(SheetHandle sheet, const Rectangle& rect,
                                  const Point& centre) override;
    ObjectHandle media_create_display_object_container() override;
    void media_doc_add_child(ObjectHandle parent, ObjectHandle child) override;
    GraphicsHandle media_display_object_get_graphics(ObjectHandle object) override;
    void media_gfx_clear(GraphicsHandle graphics) override;
    void media_gfx_begin_bitmap_fill(GraphicsHandle graphics, BitmapHandle bitmap, bool repeat,
                                     bool smooth) override;
    void media_gfx_draw_tiles(GraphicsHandle graphics, SheetHandle sheet,
                              std::span<const double> data, int flags) override;

protected:
    DisplayTree tree_;
};

} // namespace zindle
