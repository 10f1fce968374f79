// The desktop icons: player 1's hero, cut to its outline and enlarged by whole pixels only, so
// that every size shows the pixel art as sharp as the game does.
#include "art/art_sources.h"
#include "common/png_io.h"

#include <algorithm>
#include <array>
#include <string>

namespace assetgen {
namespace {

// px: the sizes desktops look for in an icon theme.
constexpr std::array<int, 7> kIconSizes{16, 24, 32, 48, 64, 128, 256};
constexpr int kIconPlayer = 0;
constexpr int kIconPose = 0; // UP: arms raised, thrown up from the bottom edge

// The smallest rectangle that holds every visible pixel.
Image trimmed(const Image& image) {
    int left = image.width(), top = image.height(), right = -1, bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.at(x, y).a == 0)
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    if (right < 0)
        return image;
    return image.crop(left, top, right - left + 1, bottom - top + 1);
}

} // namespace

void writeIcons(const HeroFigures& heroes, const std::filesystem::path& output) {
    const Image figure = trimmed(heroes.right[kIconPlayer][kIconPose].image);
    std::filesystem::create_directories(output / "icons");
    for (const int size : kIconSizes) {
        // The largest whole enlargement that fits; a size between two multiples gets a margin
        // rather than blurred pixels.
        const int factor = std::max(1, std::min(size / figure.width(), size / figure.height()));
        const Image big = figure.scaled(factor);
        Image icon(size, size);
        icon.stamp(big, (size - big.width()) / 2, (size - big.height()) / 2);
        writePng(output / "icons" / (std::to_string(size) + ".png"), icon);
    }
}

} // namespace assetgen
