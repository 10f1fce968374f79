// One tile per character of the pixel font, outlined, so that the game can set any line of
// text (a saved file's name, a message) without a picture made for it.
#include "art/art_sources.h"
#include "art/atlas.h"

#include <cstdio>

namespace assetgen {
namespace {

constexpr char kTextInk = 'w';
constexpr char kTextOutline = 'k';

// TEXT_ and the character's code in two hex digits: names stay plain whatever the character.
std::string glyphTileName(char c) {
    char name[16];
    std::snprintf(name, sizeof name, "TEXT_%02X", static_cast<unsigned char>(c));
    return name;
}

} // namespace

void addTextGlyphs(Atlas& atlas, const ArtSources& src) {
    TextStyle style;
    style.bands = {src.colour(kTextInk)};
    style.outline = src.colour(kTextOutline);
    const int margin = PixelFont::margin(style);
    atlas.comment("Text: one outlined glyph per character, centred on its ink's top-left pixel");
    for (const char c : src.font.characters()) {
        if (c == ' ') {
            continue; // nothing to show: the game leaves the space's width empty
        }
        atlas.add(glyphTileName(c), src.font.render(std::string(1, c), style), margin, margin);
    }
}

} // namespace assetgen
