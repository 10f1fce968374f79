#pragma once
// One atlas with its tile list: named tiles requested during a frame are collected and handed
// to the media layer as one batch.
#include "framework/tilesheet.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zindle {

class Graphics;

// Lets frames be searched with a string_view, so drawing a tile builds no string.
struct TileNameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const noexcept {
        return std::hash<std::string_view>{}(name);
    }
};

class Tiler {
public:
    // Loads name + ".png" and name + ".txt" through the catalogue. Throws std::runtime_error
    // naming the file when the atlas image or the tile list is missing or unreadable.
    explicit Tiler(const std::string& name);
    Tiler(const Tiler&) = delete;
    Tiler& operator=(const Tiler&) = delete;

    void beginDraw();
    // Unknown names draw nothing.
    void drawTile(std::string_view name, double x, double y);
    void endDraw(Graphics& graphics);
    // The tile's width in px, or 0 for an unknown name.
    double tileWidth(std::string_view name) const;

    // While set, drawTile collects nothing: a replay running ahead still draws every frame
    // (drawing takes random numbers) but has no picture to show for it.
    static bool collecting;

    // One batch drawn by draw in screen pixels, whatever the scroll (the screen shake), over
    // what the frame has drawn so far: lines and menus over the game.
    void drawOnScreen(Graphics& graphics, const std::function<void(Tiler&)>& draw);

    std::unique_ptr<Tilesheet> tilesheet;
    std::vector<double> tileBuffer;
    std::unordered_map<std::string, int, TileNameHash, std::equal_to<>> frames;
    std::vector<std::string> keys;
    std::vector<double> widths; // by id
    double scrollX = 0;
    double scrollY = 0;
};

} // namespace zindle
