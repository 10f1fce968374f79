// The display tree's bookkeeping: containers and their children, drawing lists of tile batches,
// tile sheets, and the walk that visits every batch in drawing order.
#include "media/common/display_tree.h"

#include <algorithm>

namespace zindle {

namespace {
// A display tree deeper than this is a cycle or a fault; drawing stops there rather than
// recursing without end.
constexpr int kMaxDepth = 64;

} // namespace

StageHandle DisplayTree::createRoot() {
    return static_cast<StageHandle>(handleValue(createContainer()));
}

ObjectHandle DisplayTree::createContainer() {
    const auto id = nextObject_++;
    nodes_[id] = Node{};
    return static_cast<ObjectHandle>(id);
}

void DisplayTree::addChild(ObjectHandle parent, ObjectHandle child) {
    auto p = nodes_.find(handleValue(parent));
    auto c = nodes_.find(handleValue(child));
    if (p == nodes_.end() || c == nodes_.end() || parent == child)
        return;
    if (c->second.parent != ObjectHandle::None) {
        auto old = nodes_.find(handleValue(c->second.parent));
        if (old != nodes_.end())
            std::erase(old->second.children, child);
    }
    c->second.parent = parent;
    p->second.children.push_back(child);
}

GraphicsHandle DisplayTree::graphicsOf(ObjectHandle object) {
    auto n = nodes_.find(handleValue(object));
    if (n == nodes_.end())
        return GraphicsHandle::None;
    if (n->second.graphics == GraphicsHandle::None) {
        const auto id = nextGraphics_++;
        lists_[id] = List{};
        n->second.graphics = static_cast<GraphicsHandle>(id);
    }
    return n->second.graphics;
}

void DisplayTree::clear(GraphicsHandle graphics) {
    auto l = lists_.find(handleValue(graphics));
    if (l == lists_.end())
        return;
    l->second.batches.clear();
    l->second.fill = BitmapHandle::None;
    l->second.smooth = false;
}

void DisplayTree::beginBitmapFill(GraphicsHandle graphics, BitmapHandle bitmap, bool smooth) {
    auto l = lists_.find(handleValue(graphics));
    if (l == lists_.end())
        return;
    l->second.fill = bitmap;
    l->second.smooth = smooth;
}

void DisplayTree::drawTiles(GraphicsHandle graphics, SheetHandle sheet,
                            std::span<const double> data, int flags) {
    auto l = lists_.find(handleValue(graphics));
    if (l == lists_.end())
        return;
    const auto whole = data.size() - data.size() % 3;
    Batch batch{sheetBitmap(sheet), sheet, l->second.smooth, flags, {}, {}};
    if (keepPlaced_)
        placeTiles(data.first(whole), sheetTiles(sheet), placedBounds_, batch.placed);
    else
        batch.data.assign(data.begin(), data.begin() + static_cast<long>(whole));
    l->second.batches.push_back(std::move(batch));
}

void DisplayTree::keepPlacedTiles(std::optional<PictureBounds> bounds) {
    keepPlaced_ = true;
    placedBounds_ = bounds;
}

SheetHandle DisplayTree::createSheet(BitmapHandle bitmap) {
    const auto id = nextSheet_++;
    sheets_[id] = Sheet{bitmap, {}};
    return static_cast<SheetHandle>(id);
}

void DisplayTree::addRect(SheetHandle sheet, const Rectangle& rect, const Point& centre) {
    auto s = sheets_.find(handleValue(sheet));
    if (s != sheets_.end())
        s->second.tiles.push_back(Tile{rect, centre});
}

BitmapHandle DisplayTree::sheetBitmap(SheetHandle sheet) const {
    auto s = sheets_.find(handleValue(sheet));
    return s == sheets_.end() ? BitmapHandle::None : s->second.bitmap;
}

std::span<const DisplayTree::Tile> DisplayTree::sheetTiles(SheetHandle sheet) const {
    auto s = sheets_.find(handleValue(sheet));
    if (s == sheets_.end())
        return {};
    return s->second.tiles;
}

void DisplayTree::forEachBatch(ObjectHandle root,
                               const std::function<void(const Batch&)>& visit) const {
    this->visit(root, visit, 0);
}

void DisplayTree::visit(ObjectHandle object, const std::function<void(const Batch&)>& visitor,
                        int depth) const {
    if (depth > kMaxDepth)
        return;
    auto n = nodes_.find(handleValue(object));
    if (n == nodes_.end())
        return;
    if (auto l = lists_.find(handleValue(n->second.graphics)); l != lists_.end()) {
        for (const auto& batch : l->second.batches)
            visitor(batch);
    }
    for (auto child : n->second.children)
        visit(child, visitor, depth + 1);
}

} // namespace zindle
