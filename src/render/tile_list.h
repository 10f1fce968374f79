#pragma once
// Reads the text that names the tiles of an atlas: one tile per line, seven fields separated by
// single spaces (NAME X Y WIDTH HEIGHT CENTREX CENTREY); empty lines and lines starting with "#"
// are ignored. The file is untrusted: broken lines and rectangles outside the atlas are reported
// and skipped, so every accepted tile can be cut from the image.
#include "framework/geom.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zindle {

struct TileListEntry {
    std::string name; // upper case
    Rectangle rect;   // inside the atlas
    Point centre;     // from the rectangle's top-left corner
};

struct TileList {
    std::vector<TileListEntry> tiles;  // in order of the lines; the n-th tile gets id n
    std::vector<std::string> warnings; // one line each, in order of the lines
    std::size_t moreWarnings = 0;      // warnings past the limit, counted but not given
};

// Receives each warning line as it comes.
using TileWarningSink = std::function<void(const std::string&)>;

// Reads a whole tile list for an atlas of atlasWidth by atlasHeight pixels. Warnings are bounded:
// each names at most the start of a long name, and a file gives a few dozen at most, the rest
// only counted in moreWarnings.
TileList readTileList(std::string_view text, int atlasWidth, int atlasHeight);
// The same, handing each warning to sink as it comes instead of collecting them in warnings.
TileList readTileList(std::string_view text, int atlasWidth, int atlasHeight,
                      const TileWarningSink& sink);

// An optional sign and decimal digits, or "0x"/"0X" and hexadecimal digits, read up to the first
// character that does not belong; nullopt when no digit can be read or the value does not fit a
// 32-bit int.
std::optional<int> parseTileInteger(std::string_view field);

} // namespace zindle
