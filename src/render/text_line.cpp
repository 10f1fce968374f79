// Laying a line of text out as glyph tiles: each glyph's ink starts one column after the last
// one's, so neighbouring outlines overlap by exactly their shared column.
#include "render/text_line.h"

#include "render/tiler.h"

#include <cctype>
#include <cmath>
#include <cstdio>

namespace zindle::text_line {
namespace {

std::string tileOf(char c) {
    char name[16];
    std::snprintf(name, sizeof name, "TEXT_%02X", static_cast<unsigned char>(c));
    return name;
}

} // namespace

// From one glyph's ink to the next one's: its tile less the column its outline shares.
double advance(const Tiler& tiler, char c) {
    return c == ' ' ? kSpaceAdvancePx : tiler.tileWidth(glyphTile(tiler, c)) - kOutlinePx;
}

std::string glyphTile(const Tiler& tiler, char c) {
    std::string name = tileOf(c);
    if (tiler.tileWidth(name) > 0)
        return name;
    const auto upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper != c && tiler.tileWidth(name = tileOf(upper)) > 0)
        return name;
    return tileOf('?');
}

double width(const Tiler& tiler, std::string_view text) {
    double total = 0;
    for (const char c : text)
        total += advance(tiler, c);
    return text.empty() ? 0 : total + kOutlinePx;
}

void draw(Tiler& tiler, std::string_view text, double x, double y) {
    // Tiles are centred on their ink's top-left pixel.
    double pen = x + kOutlinePx;
    for (const char c : text) {
        if (c != ' ')
            tiler.drawTile(glyphTile(tiler, c), pen, y + kOutlinePx);
        pen += advance(tiler, c);
    }
}

std::string fitted(const Tiler& tiler, const std::string& text, double room) {
    std::string cut = text;
    for (std::size_t keep = text.size(); keep > 0 && width(tiler, cut) > room;)
        cut = text.substr(0, --keep) + "...";
    return cut;
}

void drawCentred(Tiler& tiler, std::string_view text, double centreX, double y) {
    draw(tiler, text, std::floor(centreX - width(tiler, text) / 2), y);
}

} // namespace zindle::text_line
