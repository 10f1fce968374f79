// Loading the pixel font's glyphs, measuring and setting text with them, and outlining it.
#include "art/pixel_font.h"

#include <stdexcept>

namespace assetgen {
namespace {

constexpr int kGlyphSpacing = 1; // empty font pixels between two glyphs

} // namespace

PixelFont PixelFont::load(const std::filesystem::path& path) {
    PixelFont font;
    for (const GridBlock& block : readGridFile(path)) {
        if (block.arg(0) != "glyph") {
            throw std::runtime_error(block.where + ": expected a glyph block");
        }
        const std::string& name = block.arg(1);
        const char c = name == "SPACE" ? ' ' : name.size() == 1 ? name[0] : '\0';
        if (c == '\0') {
            throw std::runtime_error(block.where + ": glyph name must be one character or SPACE");
        }
        if (font.height_ == 0) {
            font.height_ = block.height();
        } else if (block.height() != font.height_) {
            throw std::runtime_error(block.where + ": every glyph must have the same height");
        }
        font.glyphs_[c] = block.rows;
    }
    return font;
}

std::string PixelFont::characters() const {
    std::string out;
    for (const auto& [c, rows] : glyphs_) {
        out += c;
    }
    return out;
}

int PixelFont::width(const std::string& text) const {
    int w = 0;
    for (const char c : text) {
        const auto it = glyphs_.find(c);
        if (it == glyphs_.end()) {
            throw std::runtime_error(std::string("the font has no glyph for '") + c + "'");
        }
        w += static_cast<int>(it->second.front().size()) + kGlyphSpacing;
    }
    return text.empty() ? 0 : w - kGlyphSpacing;
}

Image PixelFont::render(const std::string& text, const TextStyle& style) const {
    if (style.bands.empty()) {
        throw std::invalid_argument("text needs at least one ink colour");
    }
    const int s = style.scale;
    Image ink(width(text) * s, height_ * s);
    int penX = 0;
    for (const char c : text) {
        const std::vector<std::string>& rows = glyphs_.at(c);
        for (int gy = 0; gy < height_; ++gy) {
            const std::string& row = rows[static_cast<std::size_t>(gy)];
            for (int gx = 0; gx < static_cast<int>(row.size()); ++gx) {
                if (row[static_cast<std::size_t>(gx)] == '.') {
                    continue;
                }
                const Rgba colour = style.bands[static_cast<std::size_t>(gy) * style.bands.size() /
                                                static_cast<std::size_t>(height_)];
                for (int py = 0; py < s; ++py) {
                    for (int px = 0; px < s; ++px) {
                        ink.set((penX + gx) * s + px, gy * s + py, colour);
                    }
                }
            }
        }
        penX += static_cast<int>(rows.front().size()) + kGlyphSpacing;
    }
    Image body = style.outline.a ? outlined(ink, style.outline, style.outlineWidth) : ink;
    if (style.shadow.a == 0) {
        return body;
    }
    Image out(body.width(), body.height() + style.shadowDepth);
    for (int d = style.shadowDepth; d >= 1; --d) {
        for (int y = 0; y < body.height(); ++y) {
            for (int x = 0; x < body.width(); ++x) {
                if (body.at(x, y).a != 0) {
                    out.set(x, y + d, style.shadow);
                }
            }
        }
    }
    out.stamp(body, 0, 0);
    return out;
}

Image outlined(const Image& image, Rgba colour, int width) {
    Image out(image.width() + 2 * width, image.height() + 2 * width);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.at(x, y).a == 0) {
                continue;
            }
            for (int dy = -width; dy <= width; ++dy) {
                for (int dx = -width; dx <= width; ++dx) {
                    out.set(x + width + dx, y + width + dy, colour);
                }
            }
        }
    }
    out.stamp(image, width, width);
    return out;
}

} // namespace assetgen
