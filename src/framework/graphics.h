#pragma once
// A display object's drawing list: kept from frame to frame until cleared.
#include "framework/media.h"

#include <span>

namespace zindle {

class BitmapData;
class Tilesheet;

class Graphics {
public:
    explicit Graphics(GraphicsHandle handle) : handle_(handle) {}
    Graphics(const Graphics&) = delete;
    Graphics& operator=(const Graphics&) = delete;

    void clear();
    void beginBitmapFill(const BitmapData& bitmap, bool repeat = false, bool smooth = false);
    // Tile data are (x, y, id) triples with flags 0; smooth adds Tilesheet::TILE_SMOOTH.
    void drawTiles(const Tilesheet& sheet, std::span<const double> data, bool smooth = false,
                   int flags = 0);

    GraphicsHandle handle() const { return handle_; }

private:
    GraphicsHandle handle_;
};

} // namespace zindle
