// PNG bytes to RGBA or BGRA pixels with libpng's simplified interface, for the desktop and
// headless builds. The interface keeps libpng's longjmp error handling inside the library, so a
// corrupt or truncated file simply gives nullopt.
#include "media/common/png_decode.h"

#include <png.h>

namespace zindle {

namespace {

// Frees libpng's state on every path out.
struct ImageReader {
    png_image image{};
    ImageReader() { image.version = PNG_IMAGE_VERSION; }
    ~ImageReader() { png_image_free(&image); }
    ImageReader(const ImageReader&) = delete;
    ImageReader& operator=(const ImageReader&) = delete;
};

std::nullopt_t fail(std::string* problem, std::string text) {
    if (problem)
        *problem = std::move(text);
    return std::nullopt;
}
} // namespace

std::optional<DecodedImage> decodePng(std::span<const std::uint8_t> bytes, PixelOrder order,
                                      std::string* problem) {
    if (!isPng(bytes))
        return fail(problem, "not a PNG image");
    ImageReader reader;
    png_image& image = reader.image;
    if (png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()) == 0)
        return fail(problem, "a broken PNG image");
    const std::uint64_t pixels = std::uint64_t{image.width} * image.height;
    if (image.width == 0 || image.height == 0 || image.width > kMaxImageSide ||
        image.height > kMaxImageSide || pixels > kMaxImagePixels)
        return fail(problem, std::to_string(image.width) + "x" + std::to_string(image.height) +
                                 " pixels, larger than an atlas may be (" +
                                 std::to_string(kMaxImageSide) + " a side, " +
                                 std::to_string(kMaxImagePixels) + " in all)");
    image.format = order == PixelOrder::RGBA ? PNG_FORMAT_RGBA : PNG_FORMAT_BGRA;
    // 16-bit files without colour information are taken as sRGB, like 8-bit ones: read as
    // linear (libpng's default) they draw washed out. The header read sets the flags, so this
    // comes after it.
    image.flags |= PNG_IMAGE_FLAG_16BIT_sRGB;
    DecodedImage decoded;
    decoded.width = static_cast<int>(image.width);
    decoded.height = static_cast<int>(image.height);
    decoded.pixels.resize(pixels * 4);
    if (png_image_finish_read(&image, nullptr, decoded.pixels.data(), 0, nullptr) == 0)
        return fail(problem, "a broken PNG image");
    return decoded;
}

} // namespace zindle
