// The order in which the pictures are made: the game atlas from its parts, then the title
// atlas and the icons, which reuse the heroes drawn for it.
#include "art/art.h"

#include "art/art_sources.h"
#include "art/atlas.h"

namespace assetgen {
namespace {

constexpr int kGameAtlasWidth = 512; // px; wide enough for the 480-px strip and beams

} // namespace

void generateArt(const std::filesystem::path& source, const std::filesystem::path& output) {
    const ArtSources src = ArtSources::load(source / "art");
    Atlas game(kGameAtlasWidth);
    const HeroFigures heroes = addHeroes(game, src);
    addArrows(game, src);
    addEffects(game, src);
    addDisplay(game, src, heroes);
    addTextGlyphs(game, src);
    game.write(output, "gametiles");
    writeTitleAtlas(src, heroes, output);
    writeIcons(heroes, output);
}

} // namespace assetgen
