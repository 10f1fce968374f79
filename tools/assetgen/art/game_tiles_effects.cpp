// Drawn tiles (clouds, crown, MacGuffin, sparkles, rain, rainbow, pips), the score glow, the
// pieces a forming crown is assembled from, and the beams.
#include "art/art_sources.h"
#include "art/atlas.h"

#include <cmath>
#include <cstdint>
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

// The glow at the edges of a hero's match-point beams: its base colour at these opacities.
constexpr char kGlowSymbol = '4';
constexpr char kFaintGlowSymbol = '5';
constexpr std::uint8_t kGlowAlpha = 0x70;
constexpr std::uint8_t kFaintGlowAlpha = 0x38;

// The crown is cut into ten pieces that fly in from a ring and assemble on the head. Piece k is
// drawn at angle k / 10 of a turn, clockwise from straight below, so each piece comes from
// the side of the crown it belongs to: columns (left edge, width) and rows (top, height) of
// the drawn crown, and which column and row piece k takes.
struct Span {
    int start, size;
};
constexpr Span kCrownColumns[] = {{0, 2}, {2, 2}, {4, 3}, {7, 2}, {9, 2}};
constexpr Span kCrownRows[] = {{0, 4}, {4, 4}};
constexpr int kCrownPieceColumn[] = {2, 3, 4, 4, 3, 2, 1, 0, 0, 1};
constexpr int kCrownPieceRow[] = {1, 1, 1, 0, 0, 0, 0, 0, 1, 1};

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

    atlas.comment("The crown's pieces, CROWN_PIECE_1 to 10, each placed as in the whole crown");
    for (const GridBlock& block : src.blocks("items.txt")) {
        if (block.arg(1) != "CROWN") {
            continue;
        }
        const CentredImage crown = paintCentred(block, 2, src.palette);
        for (std::size_t k = 0; k < std::size(kCrownPieceColumn); ++k) {
            const Span column = kCrownColumns[kCrownPieceColumn[k]];
            const Span row = kCrownRows[kCrownPieceRow[k]];
            atlas.add("CROWN_PIECE_" + std::to_string(k + 1),
                      crown.image.crop(column.start, row.start, column.size, row.size),
                      crown.centreX - column.start, crown.centreY - row.start);
        }
    }

    atlas.comment("The glow behind a hero, growing with the score");
    for (std::size_t k = 0; k < std::size(kFlareRadii); ++k) {
        atlas.add("FLARE_" + std::to_string(k + 1), flare(kFlareRadii[k], src), kFlareRadii[k],
                  kFlareRadii[k]);
    }

    atlas.comment("Beams: a cross-section from beams.txt drawn across the whole screen");
    // A horizontal and a vertical beam from one cross-section; the names end in the suffix.
    const auto addBeams = [&atlas](const std::string& stem, const std::string& suffix,
                                   const Image& profile) {
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
        atlas.add(stem + "HORIZ_" + suffix, horizontal, 0, thickness / 2);
        atlas.add(stem + "VERT_" + suffix, vertical, thickness / 2, 0);
    };
    const std::vector<GridBlock> beams = src.blocks("beams.txt");
    for (const GridBlock& block : beams) {
        if ((block.arg(0) != "beam" && block.arg(0) != "goal") || block.height() != 1) {
            throw std::runtime_error(block.where + ": expected beam K or goal K, and one row");
        }
        if (block.arg(0) == "beam") {
            addBeams("BEAM_", block.arg(1), paint(block, src.palette));
        }
    }
    atlas.comment("Match-point beams through a hero one catch from winning, in its colours");
    for (int p = 0; p < kPlayers; ++p) {
        const PlayerLook& look = src.players[static_cast<std::size_t>(p)];
        Rgba glow = look.base, faint = look.base;
        glow.a = kGlowAlpha;
        faint.a = kFaintGlowAlpha;
        for (const GridBlock& block : beams) {
            if (block.arg(0) != "goal") {
                continue;
            }
            SymbolSwap swap = look.ramp;
            swap[kGlowSymbol] = '.';
            swap[kFaintGlowSymbol] = '.';
            Image profile = paint(block, src.palette, swap);
            for (int i = 0; i < profile.width(); ++i) {
                const char symbol = block.rows[0][static_cast<std::size_t>(i)];
                if (symbol == kGlowSymbol || symbol == kFaintGlowSymbol) {
                    profile.set(i, 0, symbol == kGlowSymbol ? glow : faint);
                }
            }
            std::string suffix = "P";
            suffix += std::to_string(p + 1) + "_" + block.arg(1);
            addBeams("MATCH_POINT_", suffix, profile);
        }
    }
}

} // namespace assetgen
