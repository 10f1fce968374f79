// Feeds arbitrary bytes to the tile-list reader. Whatever the text, the reader must not crash,
// and every tile it accepts must lie inside the atlas under an upper-case name, at most one per
// line: then the n-th accepted tile is the n-th rectangle of the sheet.
#include "render/tile_list.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first two bytes choose the atlas size, so small and empty atlases are explored too.
    int width = 64;
    int height = 32;
    if (size >= 2) {
        width = data[0];
        height = data[1];
        data += 2;
        size -= 2;
    }
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const zindle::TileList list = zindle::readTileList(text, width, height);

    std::size_t lines = 1;
    for (char c : text)
        lines += c == '\n';
    if (list.tiles.size() > lines)
        __builtin_trap();
    for (const auto& tile : list.tiles) {
        const auto& r = tile.rect;
        if (r.width < 0 || r.height < 0 || r.x < 0 || r.y < 0 || r.x + r.width > width ||
            r.y + r.height > height)
            __builtin_trap();
        for (char c : tile.name)
            if (c >= 'a' && c <= 'z')
                __builtin_trap();
    }
    for (const auto& warning : list.warnings)
        if (warning.find('\n') != std::string::npos)
            __builtin_trap();
    return 0;
}
