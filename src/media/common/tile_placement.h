#pragma once
// Where a drawn tile lands in the picture: its corner rounded to whole pixels once, when it is
// drawn, and tiles wholly outside the picture left out, so that a renderer walks only compact
// records of the tiles it will actually draw.
#include "framework/geom.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace zindle {

// One rectangle of a tile sheet and the point of it that is placed on the drawn position.
struct SheetTile {
    Rectangle rect;
    Point centre; // from the rectangle's top-left corner
};

// A tile ready to draw: its top-left corner in whole pixels of the picture, and its sheet id.
struct PlacedTile {
    // Left unset, so that a buffer can be sized before it is filled without clearing it first.
    PlacedTile() {}
    PlacedTile(float leftPx, float topPx, std::uint32_t sheetId)
        : left(leftPx), top(topPx), id(sheetId) {}
    float left;
    float top;
    std::uint32_t id;
};

struct PictureBounds {
    int width = 0;
    int height = 0;
};

// std::round (halves away from zero) without the library call, which would cost a busy frame as
// much as all the rest of its placement.
double roundHalfAway(double x);

// Whether a tile with that corner and sheet rectangle shares no pixel with the picture.
inline bool outsidePicture(float left, float top, const Rectangle& rect, PictureBounds bounds) {
    const auto width = static_cast<float>(rect.width);
    const auto height = static_cast<float>(rect.height);
    // One branch for the four tests: they come out in no predictable order.
    return (left >= static_cast<float>(bounds.width)) | (top >= static_cast<float>(bounds.height)) |
           (left + width <= 0) | (top + height <= 0);
}

// Appends to placed the tiles of (x, y, id) triples whose id names a tile of sheet and whose
// corner is finite and, given bounds, not wholly outside them; a trailing incomplete triple is
// ignored.
void placeTiles(std::span<const double> triples, std::span<const SheetTile> sheet,
                std::optional<PictureBounds> bounds, std::vector<PlacedTile>& placed);
// The same one coordinate at a time, without vector instructions: what placeTiles gives on
// processors without them, and what it is tested against.
void placeTilesPlainly(std::span<const double> triples, std::span<const SheetTile> sheet,
                       std::optional<PictureBounds> bounds, std::vector<PlacedTile>& placed);

} // namespace zindle
