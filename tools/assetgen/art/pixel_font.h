#pragma once
// Our own pixel font, drawn glyph by glyph in a grid file, and text set with it.
#include "art/grid_source.h"

#include <map>
#include <string>

namespace assetgen {

struct TextStyle {
    int scale = 1; // each font pixel becomes scale x scale
    // Ink colours from the glyphs' top to their foot, each over an equal share of the rows
    // (one colour for flat text).
    std::vector<Rgba> bands;
    Rgba outline; // ring around the ink; alpha 0 for none
    int outlineWidth = 1;
    Rgba shadow; // the outlined text once more, shifted down; alpha 0 for none
    int shadowDepth = 1;
};

class PixelFont {
public:
    // Blocks "glyph C" where C is the character (or SPACE), '.' empty and any other symbol ink.
    static PixelFont load(const std::filesystem::path& path);

    // Unstyled width in font pixels, with one empty column between glyphs.
    int width(const std::string& text) const;
    int height() const { return height_; }
    // Every character the font has a glyph for, in code order.
    std::string characters() const;
    // The text set in the style; the image includes outline and shadow, whose margin is
    // margin(style) on every side (the shadow adds below).
    Image render(const std::string& text, const TextStyle& style) const;
    static int margin(const TextStyle& style) { return style.outline.a ? style.outlineWidth : 0; }

private:
    std::map<char, std::vector<std::string>> glyphs_;
    int height_ = 0;
};

// Puts a ring of the colour around every non-transparent pixel, width pixels thick (corners
// included), growing the picture by width on each side.
Image outlined(const Image& image, Rgba colour, int width = 1);

} // namespace assetgen
