#include "media/common/display_tree_backend.h"

#include "media/common/asset_file.h"

namespace zindle {

std::optional<std::vector<std::uint8_t>>
DisplayTreeBackend::byteArrayReadFile(const std::string& path) {
    return readAsset(path, kMaxTextFileBytes);
}

SheetHandle DisplayTreeBackend::tilesheetCreate(BitmapHandle bitmap) {
    return tree_.createSheet(bitmap);
}

void DisplayTreeBackend::tilesheetAddRect(SheetHandle sheet, const MediaRect& rect,
                                          const MediaPoint& centre) {
    tree_.addRect(sheet, rect, centre);
}

ObjectHandle DisplayTreeBackend::createDisplayObjectContainer() {
    return tree_.createContainer();
}

void DisplayTreeBackend::docAddChild(ObjectHandle parent, ObjectHandle child) {
    tree_.addChild(parent, child);
}

GraphicsHandle DisplayTreeBackend::displayObjectGetGraphics(ObjectHandle object) {
    return tree_.graphicsOf(object);
}

void DisplayTreeBackend::gfxClear(GraphicsHandle graphics) {
    tree_.clear(graphics);
}

// Tiles are always drawn unrepeated; the repeat flag has nothing to act on.
void DisplayTreeBackend::gfxBeginBitmapFill(GraphicsHandle graphics, BitmapHandle bitmap,
                                            bool /*repeat*/, bool smooth) {
    tree_.beginBitmapFill(graphics, bitmap, smooth);
}

void DisplayTreeBackend::gfxDrawTiles(GraphicsHandle graphics, SheetHandle sheet,
                                      std::span<const double> data, int flags) {
    tree_.drawTiles(graphics, sheet, data, flags);
}

} // namespace zindle
