// Blending a recorded frame's tiles into an RGBA picture and scaling it up.
#include "compose.h"

#include "framework/untrusted_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <png.h>
#include <stdexcept>

namespace zindle::shot {
namespace {

constexpr double kFarOff = 1e6; // px; a tile this far away is off screen (or not a number)

void blendTile(Image& out, const HeadlessMedia::DrawnTile& tile, const AtlasPixels& atlas,
               std::vector<std::uint8_t>* translucentLayers) {
    const int rx = static_cast<int>(tile.rect.x);
    const int ry = static_cast<int>(tile.rect.y);
    const int rw = static_cast<int>(tile.rect.width);
    const int rh = static_cast<int>(tile.rect.height);
    if (rw <= 0 || rh <= 0 || !atlas.rgba)
        return;
    // The top-left corner snaps to the nearest whole pixel, halves away from zero, where the SDL
    // layer puts it; the tile is then copied texel for texel.
    const double left = std::round(tile.x - tile.centre.x);
    const double top = std::round(tile.y - tile.centre.y);
    if (!(std::abs(left) < kFarOff && std::abs(top) < kFarOff))
        return;
    const int l = static_cast<int>(left);
    const int t = static_cast<int>(top);
    const int x0 = std::max(0, l);
    const int x1 = std::min(out.width, l + rw);
    const int y0 = std::max(0, t);
    const int y1 = std::min(out.height, t + rh);
    for (int py = y0; py < y1; ++py) {
        const int sy = ry + (py - t);
        if (sy < 0 || sy >= atlas.height)
            continue;
        for (int px = x0; px < x1; ++px) {
            const int sx = rx + (px - l);
            if (sx < 0 || sx >= atlas.width)
                continue;
            const std::uint8_t* src =
                atlas.rgba->data() + (static_cast<std::size_t>(sy) * atlas.width + sx) * 4;
            const unsigned a = src[3];
            if (a == 0)
                continue;
            const std::size_t at = static_cast<std::size_t>(py) * out.width + px;
            if (translucentLayers && a < 255 && (*translucentLayers)[at] < 255)
                ++(*translucentLayers)[at];
            std::uint8_t* dst = out.rgb.data() + at * 3;
            for (int c = 0; c < 3; ++c)
                dst[c] = static_cast<std::uint8_t>((src[c] * a + dst[c] * (255 - a) + 127) / 255);
        }
    }
}

} // namespace

Image composeFrame(const HeadlessMedia::Frame& frame, const AtlasLookup& atlas,
                   std::uint32_t background, int width, int height,
                   std::vector<std::uint8_t>* translucentLayers) {
    Image out{width, height,
              std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 3)};
    for (std::size_t i = 0; i < out.rgb.size(); i += 3) {
        out.rgb[i] = static_cast<std::uint8_t>(background >> 16);
        out.rgb[i + 1] = static_cast<std::uint8_t>(background >> 8);
        out.rgb[i + 2] = static_cast<std::uint8_t>(background);
    }
    if (translucentLayers)
        translucentLayers->assign(static_cast<std::size_t>(width) * height, 0);
    for (const auto& tile : frame.tiles)
        blendTile(out, tile, atlas(tile.atlas), translucentLayers);
    return out;
}

Image scaleUp(const Image& image, int scale) {
    if (scale <= 1)
        return image;
    Image out{image.width * scale, image.height * scale, {}};
    out.rgb.resize(static_cast<std::size_t>(out.width) * out.height * 3);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            const auto* src = image.rgb.data() +
                              (static_cast<std::size_t>(y / scale) * image.width + x / scale) * 3;
            std::copy(src, src + 3,
                      out.rgb.data() + (static_cast<std::size_t>(y) * out.width + x) * 3);
        }
    return out;
}

void writePng(const std::string& path, const Image& image) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!file)
        throw std::runtime_error("cannot write " + zindle::quoteUntrusted(path));
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        throw std::runtime_error("cannot encode " + zindle::quoteUntrusted(path));
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("writing " + zindle::quoteUntrusted(path) + " failed");
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, image.width, image.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < image.height; ++y)
        png_write_row(png, const_cast<png_bytep>(image.rgb.data() +
                                                 static_cast<std::size_t>(y) * image.width * 3));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fflush(file.get()) != 0)
        throw std::runtime_error("writing " + zindle::quoteUntrusted(path) + " failed");
}

} // namespace zindle::shot
