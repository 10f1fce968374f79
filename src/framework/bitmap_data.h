#pragma once
// A decoded image held by the media layer.
#include "framework/media.h"

#include <memory>
#include <string>

namespace zindle {

class BitmapData {
public:
    // Never throws: an unreadable file gives an object without a native image (handle None).
    static std::shared_ptr<BitmapData> load(const std::string& path);

    explicit BitmapData(BitmapHandle handle, std::string path);
    BitmapData(const BitmapData&) = delete;
    BitmapData& operator=(const BitmapData&) = delete;

    BitmapHandle handle() const { return handle_; }
    bool isLoaded() const { return handle_ != BitmapHandle::None; }
    const std::string& path() const { return path_; }
    // Pixel size of the decoded image; 0 when it is not loaded.
    int width() const;
    int height() const;

private:
    BitmapHandle handle_;
    std::string path_;
};

} // namespace zindle
