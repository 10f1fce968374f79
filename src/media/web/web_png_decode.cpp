// PNG decoding in the web build, where libpng is not at hand: stb_image, told to read PNG only.
// Same contract as the libpng decoder: a corrupt, truncated or oversized file gives nullopt.
#include "media/common/png_decode.h"

#include <string>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
// px: a backstop; the header is checked against the atlas limits before decoding.
#define STBI_MAX_DIMENSIONS 16384
#include <stb_image.h>

namespace zindle {

namespace {
constexpr int kChannels = 4;
} // namespace

std::optional<DecodedImage> decodePng(std::span<const std::uint8_t> bytes, PixelOrder order,
                                      std::string* problem) {
    auto fail = [problem](std::string text) {
        if (problem)
            *problem = std::move(text);
        return std::nullopt;
    };
    if (!isPng(bytes))
        return fail("not a PNG image");
    if (bytes.size() > static_cast<std::size_t>(INT32_MAX))
        return fail("a broken PNG image");
    const int size = static_cast<int>(bytes.size());
    int width = 0;
    int height = 0;
    int channels = 0;
    if (!stbi_info_from_memory(bytes.data(), size, &width, &height, &channels))
        return fail("a broken PNG image");
    const auto w = static_cast<std::uint32_t>(width);
    const auto h = static_cast<std::uint32_t>(height);
    if (width <= 0 || height <= 0 || w > kMaxImageSide || h > kMaxImageSide ||
        std::uint64_t{w} * h > kMaxImagePixels)
        return fail(std::to_string(width) + "x" + std::to_string(height) +
                    " pixels, larger than an atlas may be (" + std::to_string(kMaxImageSide) +
                    " a side, " + std::to_string(kMaxImagePixels) + " in all)");
    stbi_uc* pixels =
        stbi_load_from_memory(bytes.data(), size, &width, &height, &channels, kChannels);
    if (pixels == nullptr || width <= 0 || height <= 0) {
        stbi_image_free(pixels);
        return fail("a broken PNG image");
    }
    DecodedImage image;
    image.width = width;
    image.height = height;
    const std::size_t bytesOut = std::size_t(width) * std::size_t(height) * kChannels;
    image.pixels.assign(pixels, pixels + bytesOut);
    stbi_image_free(pixels);
    if (order == PixelOrder::BGRA) {
        for (std::size_t i = 0; i < bytesOut; i += kChannels)
            std::swap(image.pixels[i], image.pixels[i + 2]);
    }
    return image;
}

} // namespace zindle
