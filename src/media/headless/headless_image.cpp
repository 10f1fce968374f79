// PNG decoding for the headless layer: real sizes and pixels, and a clean None for anything
// that is not a whole, valid PNG.
#include "media/headless/headless_media.h"

#include "media/common/png_decode.h"

namespace zindle {

BitmapHandle HeadlessMedia::media_bitmap_data_load(const std::string& path, int /*flags*/) {
    auto decoded = readPng(path, PixelOrder::RGBA);
    if (!decoded)
        return BitmapHandle::None;
    const auto handle = nextImage_++;
    images_[handle] = Image{decoded->width, decoded->height, std::move(decoded->pixels)};
    return static_cast<BitmapHandle>(handle);
}

int HeadlessMedia::media_bitmap_data_width(BitmapHandle bitmap) {
    auto found = images_.find(handleValue(bitmap));
    return found == images_.end() ? 0 : found->second.width;
}

int HeadlessMedia::media_bitmap_data_height(BitmapHandle bitmap) {
    auto found = images_.find(handleValue(bitmap));
    return found == images_.end() ? 0 : found->second.height;
}

const std::vector<std::uint8_t>& HeadlessMedia::pixels(BitmapHandle bitmap) const {
    static const std::vector<std::uint8_t> none;
    auto found = images_.find(handleValue(bitmap));
    return found == images_.end() ? none : found->second.rgba;
}

} // namespace zindle
