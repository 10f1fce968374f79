// Atlas images as surfaces of one pixel format (ARGB8888), so that textures and read-backs
// agree. The atlases are PNG and go through our own libpng decoder with its size limits; other
// formats are refused by their signature rather than handed to a decoder that knows no limit.
#include "media/common/png_decode.h"
#include "media/sdl/sdl_media.h"

#include <SDL.h>

#include <cstdint>
#include <cstring>

namespace zindle {

SdlPtr<SDL_Surface> SdlMedia::surfaceFromImage(const DecodedImage& image) {
    // ARGB8888 words are B, G, R, A in memory on the little-endian machines we run on.
    static_assert(SDL_BYTEORDER == SDL_LIL_ENDIAN);
    SdlPtr<SDL_Surface> surface{
        SDL_CreateRGBSurfaceWithFormat(0, image.width, image.height, 32, SDL_PIXELFORMAT_ARGB8888)};
    if (!surface)
        return nullptr;
    const std::size_t rowBytes = std::size_t(image.width) * 4;
    auto* target = static_cast<std::uint8_t*>(surface->pixels);
    for (int row = 0; row < image.height; ++row)
        std::memcpy(target + std::size_t(row) * surface->pitch,
                    image.pixels.data() + std::size_t(row) * rowBytes, rowBytes);
    return surface;
}

BitmapHandle SdlMedia::media_bitmap_data_load(const std::string& path, int) {
    const auto image = readPng(path, PixelOrder::BGRA);
    if (!image)
        return BitmapHandle::None;
    SdlPtr<SDL_Surface> surface = surfaceFromImage(*image);
    if (!surface)
        return BitmapHandle::None;
    const auto id = nextBitmap_++;
    bitmaps_.emplace(id, Bitmap{std::move(surface), nullptr});
    return static_cast<BitmapHandle>(id);
}

} // namespace zindle
