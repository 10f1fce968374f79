// The plain blend loop the SDL renderer's worst frame is measured against.
#include "reference_blend.h"

#include "media/common/png_decode.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>
#include <string>

namespace zindle::bench {

ReferenceBlend::ReferenceBlend(const std::vector<shot::RecordedTile>& tiles,
                               std::uint32_t background, int width, int height)
    : background_(0xFF000000u | background), width_(width), height_(height) {
    std::map<std::string, const Atlas*> byFile;
    for (const auto& tile : tiles) {
        auto [it, added] = byFile.try_emplace(tile.atlas, nullptr);
        if (added) {
            // BGRA bytes are 0xAARRGGBB words on a little-endian machine, as SDL's ARGB8888.
            auto image = readPng(tile.atlas, PixelOrder::BGRA);
            if (!image)
                throw std::runtime_error("cannot load " + tile.atlas);
            auto atlas = std::make_unique<Atlas>();
            atlas->width = image->width;
            atlas->height = image->height;
            atlas->pixels.resize(image->pixels.size() / 4);
            std::copy_n(image->pixels.data(), image->pixels.size(),
                        reinterpret_cast<std::uint8_t*>(atlas->pixels.data()));
            it->second = atlas.get();
            atlases_.push_back(std::move(atlas));
        }
        // Placed as the renderer places it: the corner rounded to whole pixels.
        tiles_.push_back({it->second, static_cast<int>(std::round(tile.x - tile.centre.x)),
                          static_cast<int>(std::round(tile.y - tile.centre.y)),
                          static_cast<int>(tile.rect.x), static_cast<int>(tile.rect.y),
                          static_cast<int>(tile.rect.width), static_cast<int>(tile.rect.height)});
    }
    window_ = SDL_CreateWindow("zindle-bench reference", 0, 0, width, height, SDL_WINDOW_HIDDEN);
    if (window_ == nullptr)
        throw std::runtime_error(std::string("no reference window: ") + SDL_GetError());
}

ReferenceBlend::~ReferenceBlend() {
    SDL_DestroyWindow(window_);
}

void ReferenceBlend::blend(const Tile& tile, std::uint32_t* picture, int pitch) const {
    const int x0 = std::max(tile.left, 0);
    const int y0 = std::max(tile.top, 0);
    const int x1 = std::min(tile.left + tile.width, width_);
    const int y1 = std::min(tile.top + tile.height, height_);
    for (int y = y0; y < y1; ++y) {
        const std::uint32_t* src =
            tile.atlas->pixels.data() +
            static_cast<std::ptrdiff_t>(tile.y + y - tile.top) * tile.atlas->width +
            (tile.x + x0 - tile.left);
        std::uint32_t* dst = picture + static_cast<std::ptrdiff_t>(y) * pitch + x0;
        for (int x = x0; x < x1; ++x, ++src, ++dst) {
            const std::uint32_t s = *src;
            const std::uint32_t a = s >> 24;
            if (a == 0)
                continue;
            if (a == 255) {
                *dst = s;
                continue;
            }
            const std::uint32_t d = *dst;
            const std::uint32_t keep = 255 - a;
            const std::uint32_t rb =
                ((s & 0xFF00FFu) * a + (d & 0xFF00FFu) * keep) >> 8 & 0xFF00FFu;
            const std::uint32_t g = ((s & 0xFF00u) * a + (d & 0xFF00u) * keep) >> 8 & 0xFF00u;
            *dst = 0xFF000000u | rb | g;
        }
    }
}

void ReferenceBlend::drawAndPresent() {
    SDL_Surface* surface = SDL_GetWindowSurface(window_);
    if (surface == nullptr || surface->format->BytesPerPixel != 4)
        throw std::runtime_error("the reference window has no 32-bit surface");
    auto* picture = static_cast<std::uint32_t*>(surface->pixels);
    const int pitch = surface->pitch / 4;
    for (int y = 0; y < height_; ++y)
        std::fill_n(picture + static_cast<std::ptrdiff_t>(y) * pitch, width_, background_);
    for (const Tile& tile : tiles_) {
        if (tile.left >= width_ || tile.top >= height_ || tile.left + tile.width <= 0 ||
            tile.top + tile.height <= 0)
            continue;
        blend(tile, picture, pitch);
    }
    SDL_UpdateWindowSurface(window_);
}

} // namespace zindle::bench
