// Atlas images from their files, for every backend: the one asset reader, then whichever PNG
// decoder the build has.
#include "media/common/asset_file.h"
#include "media/common/png_decode.h"

namespace zindle {

std::optional<DecodedImage> readPng(const std::string& path, PixelOrder order) {
    const auto bytes = readAsset(path, kMaxImageFileBytes);
    if (!bytes)
        return std::nullopt;
    std::string problem;
    auto image = decodePng(*bytes, order, &problem);
    if (!image)
        reportAssetProblem(path, problem);
    return image;
}

} // namespace zindle
