#pragma once
// Everything the two atlases are made from, read once from assets-src/art.
#include "art/grid_source.h"
#include "art/pixel_font.h"

#include <array>
#include <map>
#include <string>

namespace assetgen {

constexpr int kPlayers = 4;

struct PlayerLook {
    SymbolSwap ramp;         // 1/2/3 to this player's light, base and shade symbols
    SymbolSwap superRamp;    // the same, brightened, for the invulnerable glow
    std::string startKey;    // the key named in the join prompt
    std::string steerKeys;   // the left and right keys, shown on the panel
    Rgba light, base, shade; // the ramp's colours, for text and panel accents
};

struct ArtSources {
    std::filesystem::path folder;
    Palette palette;
    PixelFont font;
    std::array<PlayerLook, kPlayers> players;

    static ArtSources load(const std::filesystem::path& folder);
    std::vector<GridBlock> blocks(const std::string& file) const {
        return readGridFile(folder / file);
    }
    Rgba colour(char symbol) const { return palette.colour(symbol, "colour in code"); }
};

// Paints the block and reads its centre from header arguments at index first, first + 1:
// integers, or "mid" for half the width or height.
struct CentredImage {
    Image image;
    int centreX = 0, centreY = 0;
};
CentredImage paintCentred(const GridBlock& block, std::size_t first, const Palette& palette,
                          const SymbolSwap& swap = {});

class Atlas;

// Builders of the game atlas, one per family of tiles (game_tiles_*.cpp).
struct HeroFigures {
    // [player][pose] facing right, poses in the order UP, FLOAT, DOWN, SUPERUP.
    std::array<std::array<CentredImage, 4>, kPlayers> right;
    // [player] the floating figure a step lighter (body in the light tone), for the display.
    std::array<CentredImage, kPlayers> portrait;
};
HeroFigures addHeroes(Atlas& atlas, const ArtSources& src);
void addArrows(Atlas& atlas, const ArtSources& src);
void addEffects(Atlas& atlas, const ArtSources& src);
void addDisplay(Atlas& atlas, const ArtSources& src, const HeroFigures& heroes);
void addTextGlyphs(Atlas& atlas, const ArtSources& src);

// The desktop icons, icons/SIZE.png for the usual sizes from 16 to 256 px (icons.cpp).
void writeIcons(const HeroFigures& heroes, const std::filesystem::path& output);

// The title atlas (title_screen.cpp).
void writeTitleAtlas(const ArtSources& src, const HeroFigures& heroes,
                     const std::filesystem::path& output);

} // namespace assetgen
