#pragma once
// PNG decoding for every backend: one interface and one set of limits, two decoders behind it.
// The desktop and headless builds link media/libpng/png_decode.cpp, the web build
// media/web/web_png_decode.cpp; a corrupt, truncated or oversized file gives nullopt from both.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zindle {

// px: the largest atlas accepted. A 480 by 320 game fits all its pictures many times over into
// this; a header that claims more is refused before anything is allocated for it.
constexpr std::uint32_t kMaxImageSide = 4096;
constexpr std::uint64_t kMaxImagePixels = 2048 * 2048; // 16 MB decoded

struct DecodedImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels; // four bytes a pixel, rows top to bottom, no padding
};

enum class PixelOrder { RGBA, BGRA };

bool isPng(std::span<const std::uint8_t> bytes);
// nullopt for anything that is not a whole, valid PNG of a sane size; then problem (if given)
// says why in a few words.
std::optional<DecodedImage> decodePng(std::span<const std::uint8_t> bytes, PixelOrder order,
                                      std::string* problem = nullptr);
// An atlas image from its file, through the one asset reader; a file that is refused or not a
// sane PNG is reported in one line naming it.
std::optional<DecodedImage> readPng(const std::string& path, PixelOrder order);

} // namespace zindle
