// One atlas and its named tiles. A frame's requests are only collected here; the media layer
// gets them as one batch per atlas, which is what keeps drawing cheap.
#include "render/tiler.h"

#include "framework/assets.h"
#include "framework/bitmap_data.h"
#include "render/tile_list.h"

#include <iostream>
#include <stdexcept>

namespace zindle {

Tiler::Tiler(const std::string& name) {
    const std::string imageId = name + ".png";
    const std::string listId = name + ".txt";

    // Without its atlas the game cannot draw anything: stop at once, naming the file.
    auto bitmap = Assets::getBitmapData(imageId);
    if (!bitmap || !bitmap->isLoaded())
        throw std::runtime_error("Cannot load the atlas image " + imageId);
    const std::optional<std::string> text = Assets::getText(listId);
    if (!text)
        throw std::runtime_error("Cannot load the tile list " + listId);

    const int atlasWidth = bitmap->width();
    const int atlasHeight = bitmap->height();
    tilesheet = std::make_unique<Tilesheet>(std::move(bitmap));

    const TileList list = readTileList(*text, atlasWidth, atlasHeight,
                                       [](const std::string& line) { std::cout << line << '\n'; });
    if (list.moreWarnings > 0)
        std::cout << "Warning: " << list.moreWarnings << " more warnings about the tile list "
                  << listId << " not shown\n";
    // The game plays on without these pictures, but a blank screen must not go unexplained.
    if (list.tiles.empty())
        std::cout << "Warning: the tile list " << listId << " names no tiles\n";
    std::cout.flush();

    // Ids are the order of addition to the sheet, so they match the rectangles one for one; a
    // repeated name keeps the id of its last line.
    int id = 0;
    for (const TileListEntry& tile : list.tiles) {
        tilesheet->addTileRect(tile.rect, tile.centre);
        frames.insert_or_assign(tile.name, id++);
        keys.push_back(tile.name);
        widths.push_back(tile.rect.width);
    }
}

void Tiler::beginDraw() {
    // The previous frame's requests are dropped; the capacity stays for the next frame.
    tileBuffer.clear();
}

bool Tiler::collecting = true;

void Tiler::drawTile(std::string_view name, double x, double y) {
    if (!collecting)
        return;
    const auto it = frames.find(name);
    if (it == frames.end())
        return;
    tileBuffer.push_back(x + scrollX);
    tileBuffer.push_back(y + scrollY);
    tileBuffer.push_back(static_cast<double>(it->second));
}

double Tiler::tileWidth(std::string_view name) const {
    const auto it = frames.find(name);
    return it == frames.end() ? 0 : widths[static_cast<std::size_t>(it->second)];
}

void Tiler::endDraw(Graphics& graphics) {
    tilesheet->drawTiles(graphics, tileBuffer, false, 0);
}

void Tiler::drawOnScreen(Graphics& graphics, const std::function<void(Tiler&)>& draw) {
    const double x = scrollX, y = scrollY;
    scrollX = scrollY = 0;
    beginDraw();
    draw(*this);
    endDraw(graphics);
    scrollX = x;
    scrollY = y;
}

} // namespace zindle
