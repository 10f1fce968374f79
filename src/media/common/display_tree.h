#pragma once
// The display objects, drawing lists and tile sheets as a backend keeps them. Every backend
// stores the framework's drawing here and presents (or records) a frame by walking it.
#include "framework/media.h"
#include "media/common/tile_placement.h"

#include <functional>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

namespace zindle {

class DisplayTree {
public:
    using Tile = SheetTile;
    // One media_gfx_draw_tiles call over one atlas: its (x, y, id) triples as given, or, once
    // the backend keeps placed tiles, only those (and data stays empty).
    struct Batch {
        BitmapHandle atlas;
        SheetHandle sheet;
        bool smooth;
        int flags;
        std::vector<double> data;
        std::vector<PlacedTile> placed;
    };

    // A root container for a stage; its number is the stage's handle.
    StageHandle createRoot();
    ObjectHandle createContainer();
    // Appends child to parent's children, taking it from any earlier parent.
    void addChild(ObjectHandle parent, ObjectHandle child);
    GraphicsHandle graphicsOf(ObjectHandle object);
    void clear(GraphicsHandle graphics);
    void beginBitmapFill(GraphicsHandle graphics, BitmapHandle bitmap, bool smooth);
    // Copies data (or places its tiles, see keepPlacedTiles); a trailing incomplete triple is
    // ignored.
    void drawTiles(GraphicsHandle graphics, SheetHandle sheet, std::span<const double> data,
                   int flags);

    // From now on drawTiles keeps each batch's tiles placed instead of its triples: the tiles
    // that name a rectangle their sheet has when drawn, at a finite corner, and, given bounds,
    // not wholly outside a picture of that size. For a backend that draws only whole pixels of a
    // picture whose size it knows; batches drawn earlier stay as they were.
    void keepPlacedTiles(std::optional<PictureBounds> bounds);

    SheetHandle createSheet(BitmapHandle bitmap);
    void addRect(SheetHandle sheet, const Rectangle& rect, const Point& centre);
    BitmapHandle sheetBitmap(SheetHandle sheet) const;
    // Empty for an unknown sheet.
    std::span<const Tile> sheetTiles(SheetHandle sheet) const;

    // Visits every batch under root in drawing order: an object's own list, then its children
    // in order. Unknown handles are skipped.
    void forEachBatch(ObjectHandle root, const std::function<void(const Batch&)>& visit) const;

private:
    struct Node {
        std::vector<ObjectHandle> children;
        ObjectHandle parent = ObjectHandle::None;
        GraphicsHandle graphics = GraphicsHandle::None;
    };
    struct List {
        std::vector<Batch> batches;
        BitmapHandle fill = BitmapHandle::None;
        bool smooth = false;
    };
    struct Sheet {
        BitmapHandle bitmap;
        std::vector<Tile> tiles;
    };
    void visit(ObjectHandle object, const std::function<void(const Batch&)>& visitor,
               int depth) const;

    bool keepPlaced_ = false;
    std::optional<PictureBounds> placedBounds_;
    std::uint32_t nextObject_ = 1;
    std::uint32_t nextGraphics_ = 1;
    std::uint32_t nextSheet_ = 1;
    std::unordered_map<std::uint32_t, Node> nodes_;
    std::unordered_map<std::uint32_t, List> lists_;
    std::unordered_map<std::uint32_t, Sheet> sheets_;
};

} // namespace zindle
