#pragma once
// Reads the text that names the tiles of an atlas: one tile per line, seven fields separated by
// single spaces (NAME X Y WIDTH HEIGHT CENTREX CENTREY); empty lines and lines starting with "#"
// are ignored. The file is untrusted: broken lines and rectangles outside the atlas are reported
// and skipped, so every accepted tile can be cut from the image.
#include "framework/geom.h"

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
};

// Reads a whole tile list for an atlas of atlasWidth by atlasHeight pixels.
TileList readTileList(std::string_view text, int atlasWidth, int atlasHeight);

// An optional sign and decimal digits, or "0x"/"0X" and hexadecimal digits, read up to the first
// character that does not belong; nullopt when no digit can be read or the value does not fit a
// 32-bit int.
std::optional<int> parseTileInteger(std::string_view field);

} // namespace zindle
