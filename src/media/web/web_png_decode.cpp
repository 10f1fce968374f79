// PNG decoding in the web build, where libpng is not at hand: stb_image, told to read PNG only.
// Same contract as the desktop's decoder: a corrupt, truncated or oversized file gives nullopt.
#include "media/common/png_decode.h"

#include <cstring>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
// px: larger images are refused rather than allocated; no atlas comes near this.
#define STBI_MAX_DIMENSIONS 16384
#include <stb_image.h>

namespace zindle {

namespace {
constexpr std::uint8_t kPngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr int kChannels = 4;
} // namespace

bool isPng(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= sizeof kPngSignature &&
           std::memcmp(bytes.data(), kPngSignature, sizeof kPngSignature) == 0;
}

std::optional<DecodedImage> decodePng(std::span<const std::uint8_t> bytes, PixelOrder order) {
    if (!isPng(bytes) || bytes.size() > static_cast<std::size_t>(INT32_MAX))
        return std::nullopt;
    int width = 0;
    int height = 0;
    int channels = 0;
    stbi_uc* pixels = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width,
                                            &height, &channels, kChannels);
    if (pixels == nullptr || width <= 0 || height <= 0) {
        stbi_image_free(pixels);
        return std::nullopt;
    }
    DecodedImage image;
    image.width = width;
    image.height = height;
    const std::size_t size = std::size_t(width) * std::size_t(height) * kChannels;
    image.pixels.assign(pixels, pixels + size);
    stbi_image_free(pixels);
    if (order == PixelOrder::BGRA) {
        for (std::size_t i = 0; i < size; i += kChannels)
            std::swap(image.pixels[i], image.pixels[i + 2]);
    }
    return image;
}

} // namespace zindle
