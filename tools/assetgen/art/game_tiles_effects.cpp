// Drawn tiles (clouds, crown, MacGuffin, sparkles, rain, rainbow, pips), the score glow and
// the beams.
#include "art/art_sources.h"
#include "art/atlas.h"

#include <cmath>
#include <stdexcept>

namespace assetgen {
namespace {

constexpr int kScreenWidth = 480;  // px; a horizontal beam crosses the whole screen
constexpr int kScreenHeight = 320; // px; a vertical beam runs from top to bottom

// The glow behind a scoring hero, FLARE_1 to FLARE_6: radius in px of each, growing with the
// score. Layers of translucent white, brighter towards the middle, with a warm core that the
// figure mostly hides and a dithered rim that twinkles as the flare flickers between sizes.
constexpr int kFlareRadii[] = {10, 12, 14, 16, 19, 22};
constexpr char kFlareLayer = 'X';
constexpr char kFlareCore = 'Z';
constexpr char kFlareRim = 'V';
constexpr double kFlareMiddleShare = 0.75; // of the radius: second white layer
constexpr double kFlareCoreShare = 0.5;    // of the radius: the warm core
constexpr double kFlareRimWidth = 2.0;     // px of dithered rim

const char* const kTileFiles[] = {"clouds.txt", "items.txt", "particles.txt", "display.txt"};

Image flare(int radius, const ArtSources& src) {
    const int size = radius * 2 + 1;
    Image image(size, size);
    const double outer = radius + 0.5;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double d = std::hypot(x - radius, y - radius);
            if (d > outer) {
                continue;
            }
            if (d > outer - kFlareRimWidth) {
                if ((x + y) % 2 == 0) {
                    image.blend(x, y, src.colour(kFlareRim));
                }
                continue;
            }
            image.blend(x, y, src.colour(kFlareLayer));
            if (d < radius * kFlareMiddleShare) {
                image.blend(x, y, src.colour(kFlareLayer));
            }
            if (d < radius * kFlareCoreShare) {
                image.blend(x, y, src.colour(kFlareCore));
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
