#include "support/drawn_tiles.h"

#include "render/tiler.h"

namespace zindle::test {

std::vector<NamedTile> bufferedTiles(const Tiler* tiler) {
    std::vector<NamedTile> out;
    if (tiler == nullptr)
        return out;
    const auto& buffer = tiler->tileBuffer;
    for (std::size_t i = 0; i + 2 < buffer.size(); i += 3)
        out.push_back(
            {tiler->keys.at(static_cast<std::size_t>(buffer[i + 2])), buffer[i], buffer[i + 1]});
    return out;
}

std::vector<NamedTile> tilesNamed(const std::vector<NamedTile>& tiles, const std::string& name) {
    std::vector<NamedTile> out;
    for (const auto& tile : tiles)
        if (tile.name == name)
            out.push_back(tile);
    return out;
}

} // namespace zindle::test
