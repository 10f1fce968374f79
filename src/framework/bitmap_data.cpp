// A decoded image: the media layer's handle and the path it came from.
#include "framework/bitmap_data.h"

namespace zindle {

std::shared_ptr<BitmapData> BitmapData::load(const std::string& path) {
    return std::make_shared<BitmapData>(media_bitmap_data_load(path, 0), path);
}

BitmapData::BitmapData(BitmapHandle handle, std::string path)
    : handle_(handle), path_(std::move(path)) {}

int BitmapData::width() const {
    return handle_ == BitmapHandle::None ? 0 : media_bitmap_data_width(handle_);
}

int BitmapData::height() const {
    return handle_ == BitmapHandle::None ? 0 : media_bitmap_data_height(handle_);
}

} // namespace zindle
