// Drawn tiles (clouds, crown, MacGuffin, sparkles, rain, rainbow, pips), the score glow and
// the beams.
#include "art/art_sources.h"
#include "art/atlas.h"

#include <stdexcept>

namespace assetgen {
namespace {

constexpr int kScreenWidth = 480;  // px; a horizontal beam crosses the whole screen
constexpr int kScreenHeight = 320; // px; a vertical beam runs from top to bottom

// The glow behind a scoring hero, FLARE_1 to FLARE_6: radius in px of each, growing with the
// score. Each flare is three discs, faint outside to brighter inside.
constexpr int kFlareRadii[] = {9, 11, 13, 15, 18, 21};
constexpr char kFlareRings[] = {'z', 'X', 'Z'};         // outer, middle, inner
constexpr double kFlareRingShare[] = {1.0, 0.78, 0.55}; // of the radius

const char* const kTileFiles[] = {"clouds.txt", "items.txt", "particles.txt", "display.txt"};

Image flare(int radius, const ArtSources& src) {
    const int size = radius * 2 + 1;
    Image image(size, size);
    for (std::size_t ring = 0; ring < std::size(kFlareRings); ++ring) {
        const double r = radius * kFlareRingShare[ring] + 0.5;
        const Rgba colour = src.colour(kFlareRings[ring]);
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const double dx = x - radius, dy = y - radius;
                if (dx * dx + dy * dy <= r * r) {
                    image.blend(x, y, colour);
                }
            }
        }
    }
    return image;
}

} // namespace

void addEffects(Atlas& atlas, const ArtSources& src) {
    for (const char* file : kTileFiles) {
        atlas.comment(std::string("Drawn in ") + file);
        for (const GridBlock& block : src.blocks(file)) {
            if (block.arg(0) != "tile") {
                throw std::runtime_error(block.where + ": expected tile NAME CENTREX CENTREY");
            }
            const CentredImage tile = paintCentred(block, 2, src.palette);
            atlas.add(block.arg(1), tile.image, tile.centreX, tile.centreY);
        }
    }

    atlas.comment("The glow behind a hero, growing with the score");
    for (std::size_t k = 0; k < std::size(kFlareRadii); ++k) {
        atlas.add("FLARE_" + std::to_string(k + 1), flare(kFlareRadii[k], src), kFlareRadii[k],
                  kFlareRadii[k]);
    }

    atlas.comment("Beams: a cross-section from beams.txt drawn across the whole screen");
    for (const GridBlock& block : src.blocks("beams.txt")) {
        if (block.arg(0) != "beam" || block.height() != 1) {
            throw std::runtime_error(block.where + ": expected beam K and one row");
        }
        const Image profile = paint(block, src.palette);
        const int thickness = profile.width();
        Image horizontal(kScreenWidth, thickness);
        Image vertical(thickness, kScreenHeight);
        for (int i = 0; i < thickness; ++i) {
            const Rgba c = profile.at(i, 0);
            for (int x = 0; x < kScreenWidth; ++x) {
                horizontal.set(x, i, c);
            }
            for (int y = 0; y < kScreenHeight; ++y) {
                vertical.set(i, y, c);
            }
        }
        atlas.add("BEAM_HORIZ_" + block.arg(1), horizontal, 0, thickness / 2);
        atlas.add("BEAM_VERT_" + block.arg(1), vertical, thickness / 2, 0);
    }
}

} // namespace assetgen
