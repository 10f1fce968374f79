// Decoding image files into surfaces of one pixel format (ARGB8888), so that textures and
// read-backs agree. PNG, the atlases' format, goes through our own libpng decoder: SDL_image
// ignores short reads while decoding a PNG and can loop for ever on a truncated file, and a
// broken atlas must be refused, never hang the start-up. Other formats go to SDL_image.
#include "media/common/png_decode.h"
#include "media/sdl/sdl_media.h"

#include <SDL.h>
#include <SDL_image.h>

#include <climits>
#include <cstdint>
#include <cstring>

namespace zindle {

namespace {
SdlPtr<SDL_Surface> surfaceFromPng(const std::vector<std::uint8_t>& bytes) {
    // ARGB8888 words are B, G, R, A in memory on the little-endian machines we run on.
    static_assert(SDL_BYTEORDER == SDL_LIL_ENDIAN);
    const auto image = decodePng(bytes, PixelOrder::BGRA);
    if (!image)
        return nullptr;
    SdlPtr<SDL_Surface> surface{SDL_CreateRGBSurfaceWithFormat(0, image->width, image->height, 32,
                                                               SDL_PIXELFORMAT_ARGB8888)};
    if (!surface)
        return nullptr;
    const std::size_t rowBytes = std::size_t(image->width) * 4;
    auto* target = static_cast<std::uint8_t*>(surface->pixels);
    for (int row = 0; row < image->height; ++row)
        std::memcpy(target + std::size_t(row) * surface->pitch,
                    image->pixels.data() + std::size_t(row) * rowBytes, rowBytes);
    return surface;
}
} // namespace

SdlPtr<SDL_Surface> SdlMedia::decodeImage(const std::vector<std::uint8_t>& bytes) {
    if (isPng(bytes))
        return surfaceFromPng(bytes);
    if (bytes.size() > static_cast<std::size_t>(INT_MAX))
        return nullptr;
    SDL_RWops* source = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
    if (source == nullptr)
        return nullptr;
    SdlPtr<SDL_Surface> loaded{IMG_Load_RW(source, 1)};
    if (!loaded)
        return nullptr;
    return SdlPtr<SDL_Surface>{SDL_ConvertSurfaceFormat(loaded.get(), SDL_PIXELFORMAT_ARGB8888, 0)};
}

} // namespace zindle
