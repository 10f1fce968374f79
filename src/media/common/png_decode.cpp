// PNG bytes to RGBA pixels with libpng's simplified interface.
#include "media/common/png_decode.h"

#include <png.h>

#include <cstring>

namespace zindle {

namespace {
// px: larger images are refused rather than allocated. No atlas comes near this, and a corrupt
// header that claims a huge size must not make us allocate it.
constexpr png_uint_32 kMaxImageSide = 16384;
constexpr std::uint8_t kPngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
} // namespace

bool isPng(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= sizeof kPngSignature &&
           std::memcmp(bytes.data(), kPngSignature, sizeof kPngSignature) == 0;
}

std::optional<DecodedImage> decodePng(std::span<const std::uint8_t> bytes, PixelOrder order) {
    if (bytes.empty())
        return std::nullopt;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()) == 0) {
        png_image_free(&image);
        return std::nullopt;
    }
    if (image.width == 0 || image.height == 0 || image.width > kMaxImageSide ||
        image.height > kMaxImageSide) {
        png_image_free(&image);
        return std::nullopt;
    }
    image.format = order == PixelOrder::RGBA ? PNG_FORMAT_RGBA : PNG_FORMAT_BGRA;
    DecodedImage decoded;
    decoded.width = static_cast<int>(image.width);
    decoded.height = static_cast<int>(image.height);
    decoded.pixels.resize(std::size_t{image.width} * image.height * 4);
    if (png_image_finish_read(&image, nullptr, decoded.pixels.data(), 0, nullptr) == 0) {
        png_image_free(&image);
        return std::nullopt;
    }
    png_image_free(&image);
    return decoded;
}

} // namespace zindle
