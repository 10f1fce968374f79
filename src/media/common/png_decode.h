#pragma once
// PNG decoding shared by both backends. libpng's simplified interface keeps its longjmp error
// handling inside the library, so a corrupt or truncated file simply gives nullopt.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace zindle {

struct DecodedImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels; // four bytes a pixel, rows top to bottom, no padding
};

enum class PixelOrder { RGBA, BGRA };

bool isPng(std::span<const std::uint8_t> bytes);
// nullopt for anything that is not a whole, valid PNG of a sane size.
std::optional<DecodedImage> decodePng(std::span<const std::uint8_t> bytes, PixelOrder order);

} // namespace zindle
