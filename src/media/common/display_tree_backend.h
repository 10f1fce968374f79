#pragma once
// What both media backends do alike: they read files the same way and keep the framework's
// display objects, drawing lists and tile sheets in a DisplayTree. A backend derives from this
// and adds the window, the clock, images, events, presenting and sound.
#include "framework/media.h"
#include "media/common/display_tree.h"

namespace zindle {

class DisplayTreeBackend : public MediaBackend {
public:
    std::optional<std::vector<std::uint8_t>> byteArrayReadFile(const std::string& path) override;
    SheetHandle tilesheetCreate(BitmapHandle bitmap) override;
    void tilesheetAddRect(SheetHandle sheet, const MediaRect& rect,
                          const MediaPoint& centre) override;
    ObjectHandle createDisplayObjectContainer() override;
    void docAddChild(ObjectHandle parent, ObjectHandle child) override;
    GraphicsHandle displayObjectGetGraphics(ObjectHandle object) override;
    void gfxClear(GraphicsHandle graphics) override;
    void gfxBeginBitmapFill(GraphicsHandle graphics, BitmapHandle bitmap, bool repeat,
                            bool smooth) override;
    void gfxDrawTiles(GraphicsHandle graphics, SheetHandle sheet, std::span<const double> data,
                      int flags) override;

protected:
    DisplayTree tree_;
};

} // namespace zindle
