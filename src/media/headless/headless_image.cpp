// PNG decoding for the headless layer: real sizes and pixels, and a clean None for anything
// that is not a whole, valid PNG.
#include "media/headless/headless_media.h"

#include <png.h>

#include <cstddef>

namespace zindle {

namespace {
// Larger images are refused rather than allocated: no atlas comes near this.
constexpr std::size_t kMaxImageBytes = std::size_t{256} << 20; // bytes of RGBA
} // namespace

BitmapHandle HeadlessMedia::bitmapDataLoad(const std::string& path, int /*flags*/) {
    const auto bytes = byteArrayReadFile(path);
    if (!bytes || bytes->empty())
        return BitmapHandle::None;

    // libpng's simplified interface keeps its longjmp error handling inside the library: a
    // corrupt or truncated file makes these calls return 0, and nothing unwinds through here.
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_memory(&image, bytes->data(), bytes->size()) == 0) {
        png_image_free(&image);
        return BitmapHandle::None;
    }
    image.format = PNG_FORMAT_RGBA;
    const std::size_t size = std::size_t{image.width} * image.height * 4;
    if (image.width == 0 || image.height == 0 || size > kMaxImageBytes) {
        png_image_free(&image);
        return BitmapHandle::None;
    }
    Image decoded;
    decoded.width = static_cast<int>(image.width);
    decoded.height = static_cast<int>(image.height);
    decoded.rgba.resize(size);
    if (png_image_finish_read(&image, nullptr, decoded.rgba.data(), 0, nullptr) == 0) {
        png_image_free(&image);
        return BitmapHandle::None;
    }
    png_image_free(&image);

    const auto handle = nextImage_++;
    images_[handle] = std::move(decoded);
    return static_cast<BitmapHandle>(handle);
}

int HeadlessMedia::bitmapWidth(BitmapHandle bitmap) {
    auto found = images_.find(static_cast<std::uint32_t>(bitmap));
    return found == images_.end() ? 0 : found->second.width;
}

int HeadlessMedia::bitmapHeight(BitmapHandle bitmap) {
    auto found = images_.find(static_cast<std::uint32_t>(bitmap));
    return found == images_.end() ? 0 : found->second.height;
}

const std::vector<std::uint8_t>& HeadlessMedia::pixels(BitmapHandle bitmap) const {
    static const std::vector<std::uint8_t> none;
    auto found = images_.find(static_cast<std::uint32_t>(bitmap));
    return found == images_.end() ? none : found->second.rgba;
}

} // namespace zindle
