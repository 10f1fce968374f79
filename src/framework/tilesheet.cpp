// A tile atlas: its native sheet, the rectangles added in order, and drawing through it.
#include "framework/tilesheet.h"

#include "framework/bitmap_data.h"
#include "framework/graphics.h"

namespace zindle {

namespace {
// A sheet always has a bitmap to report, even when it was given none.
std::shared_ptr<BitmapData> orEmpty(std::shared_ptr<BitmapData> bitmap) {
    return bitmap ? std::move(bitmap) : std::make_shared<BitmapData>(BitmapHandle::None, "");
}
} // namespace

Tilesheet::Tilesheet(std::shared_ptr<BitmapData> bitmap)
    : mediaBitmap(orEmpty(std::move(bitmap))),
      mediaHandle(media_tilesheet_create(mediaBitmap->handle())) {}

void Tilesheet::addTileRect(const Rectangle& rect, const Point& centre) {
    media_tilesheet_add_rect(mediaHandle, rect, centre);
}

void Tilesheet::drawTiles(Graphics& graphics, std::span<const double> data, bool smooth,
                          int flags) const {
    graphics.drawTiles(*this, data, smooth, flags);
}

} // namespace zindle
