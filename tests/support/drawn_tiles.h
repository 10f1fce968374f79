#pragma once
// What a tiler has buffered this frame, read back as tile names and positions: the one way the
// tests see what game objects drew.
#include <string>
#include <vector>

namespace zindle {
class Tiler;
}

namespace zindle::test {

struct NamedTile {
    std::string name;
    double x;
    double y;
};

// The tiles in the order they were drawn; none for a null tiler.
std::vector<NamedTile> bufferedTiles(const Tiler* tiler);
// Those of tiles that carry name.
std::vector<NamedTile> tilesNamed(const std::vector<NamedTile>& tiles, const std::string& name);

} // namespace zindle::test
