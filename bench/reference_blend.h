#pragma once
// The least work a renderer could do for a recorded frame: every tile alpha-blended pixel by
// pixel into a window's own surface, then presented. The SDL renderer's benchmark is measured
// against it in the same run, so that the ratio survives a busy machine.
#include "replay.h"

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace zindle::bench {

class ReferenceBlend {
public:
    // Loads the frame's atlases and opens a window of the given size; throws when it cannot.
    ReferenceBlend(const std::vector<shot::RecordedTile>& tiles, std::uint32_t background,
                   int width, int height);
    ~ReferenceBlend();
    ReferenceBlend(const ReferenceBlend&) = delete;
    ReferenceBlend& operator=(const ReferenceBlend&) = delete;

    // Clears, blends every tile and presents the window.
    void drawAndPresent();

private:
    struct Atlas {
        int width = 0;
        int height = 0;
        std::vector<std::uint32_t> pixels; // 0xAARRGGBB, not premultiplied
    };
    struct Tile {
        const Atlas* atlas;
        int left; // px, in the picture
        int top;
        int x; // px, in the atlas
        int y;
        int width;
        int height;
    };

    void blend(const Tile& tile, std::uint32_t* picture, int pitch) const;

    std::vector<std::unique_ptr<Atlas>> atlases_;
    std::vector<Tile> tiles_;
    std::uint32_t background_;
    int width_;
    int height_;
    SDL_Window* window_ = nullptr; // owned; closed by the destructor
};

} // namespace zindle::bench
