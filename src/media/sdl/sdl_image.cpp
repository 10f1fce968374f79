// Decoding image files into surfaces of one pixel format (ARGB8888), so that textures and
// read-backs agree. PNG, the atlases' format, is decoded here with libpng: SDL_image ignores
// short reads while decoding a PNG and can loop for ever on a truncated file, and a broken atlas
// must be refused, never hang the start-up. Other formats go to SDL_image.
#include "media/sdl/sdl_media.h"

#include <SDL.h>
#include <SDL_image.h>
#include <png.h>

#include <cstdint>
#include <cstring>

namespace zindle {

namespace {
// px: larger images are refused; no atlas comes near this, and a corrupt header that claims a
// huge size must not make us allocate it.
constexpr png_uint_32 kMaxImageSide = 16384;
constexpr std::size_t kPngSignatureBytes = 8;

SdlPtr<SDL_Surface> decodePng(const std::vector<std::uint8_t>& bytes) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()) == 0)
        return nullptr;
    if (image.width == 0 || image.height == 0 || image.width > kMaxImageSide ||
        image.height > kMaxImageSide) {
        png_image_free(&image);
        return nullptr;
    }
    SdlPtr<SDL_Surface> surface{SDL_CreateRGBSurfaceWithFormat(0, static_cast<int>(image.width),
                                                               static_cast<int>(image.height), 32,
                                                               SDL_PIXELFORMAT_ARGB8888)};
    if (!surface) {
        png_image_free(&image);
        return nullptr;
    }
    // ARGB8888 words are B, G, R, A in memory on the little-endian machines we run on.
    static_assert(SDL_BYTEORDER == SDL_LIL_ENDIAN);
    image.format = PNG_FORMAT_BGRA;
    // The row stride counts components, which are bytes here.
    if (png_image_finish_read(&image, nullptr, surface->pixels, surface->pitch, nullptr) == 0)
        return nullptr; // the failed read has freed the image
    return surface;
}
} // namespace

SdlPtr<SDL_Surface> SdlMedia::decodeImage(const std::vector<std::uint8_t>& bytes) {
    static constexpr std::uint8_t kPngSignature[kPngSignatureBytes] = {0x89, 'P',  'N',  'G',
                                                                       '\r', '\n', 0x1A, '\n'};
    if (bytes.size() >= kPngSignatureBytes &&
        std::memcmp(bytes.data(), kPngSignature, kPngSignatureBytes) == 0)
        return decodePng(bytes);
    if (bytes.size() > static_cast<std::size_t>(INT32_MAX))
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
