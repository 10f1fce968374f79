#pragma once
// Turns a recorded frame (which tile of which atlas landed where) back into the picture a
// player would see: the tiles alpha-blended in drawing order over the background colour.
#include "media/headless/headless_media.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zindle::shot {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb; // row by row, 3 bytes a pixel
};

// An atlas's size and RGBA pixels, row by row.
struct AtlasPixels {
    int width = 0;
    int height = 0;
    const std::vector<std::uint8_t>* rgba = nullptr;
};

using AtlasLookup = std::function<AtlasPixels(BitmapHandle)>;

// Each tile is placed unscaled with its centre point on (x, y), its corner snapped to whole
// pixels as the SDL layer snaps it (a half pixel rounds away from zero).
// When translucentLayers is given, it receives for every pixel how many partly transparent
// texels were blended into it: the only pixels where renderers may round differently.
Image composeFrame(const HeadlessMedia::Frame& frame, const AtlasLookup& atlas,
                   std::uint32_t background, int width, int height,
                   std::vector<std::uint8_t>* translucentLayers = nullptr);
// Every pixel becomes a scale-by-scale block.
Image scaleUp(const Image& image, int scale);
// Writes an 8-bit RGB PNG; throws std::runtime_error naming the path when it cannot.
void writePng(const std::string& path, const Image& image);

} // namespace zindle::shot
