#pragma once
// A tile atlas: a bitmap and the rectangles cut from it, numbered from 0 in order of addition.
#include "framework/geom.h"
#include "framework/media.h"

#include <memory>
#include <span>

namespace zindle {

class BitmapData;
class Graphics;

class Tilesheet {
public:
    static constexpr int TILE_SMOOTH = 0x1000;

    explicit Tilesheet(std::shared_ptr<BitmapData> bitmap);
    Tilesheet(const Tilesheet&) = delete;
    Tilesheet& operator=(const Tilesheet&) = delete;

    void addTileRect(const Rectangle& rect, const Point& centre);
    // Appends the (x, y, id) triples of data to graphics' drawing list.
    void drawTiles(Graphics& graphics, std::span<const double> data, bool smooth = false,
                   int flags = 0) const;

    const BitmapData& bitmap() const { return *mediaBitmap; }
    SheetHandle handle() const { return mediaHandle; }

    std::shared_ptr<BitmapData> mediaBitmap;
    SheetHandle mediaHandle;
};

} // namespace zindle
