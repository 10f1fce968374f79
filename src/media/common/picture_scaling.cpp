// The placement of the stage's picture in the window and the split of its enlargement into a
// whole-number, nearest-neighbour part and a smooth remainder.
#include "media/common/picture_scaling.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zindle {

namespace {
constexpr int kWeightOne = 256; // weights are in 256ths

// (256 - w) parts of p and w parts of q, two channels at a time.
std::uint32_t blend(std::uint32_t p, std::uint32_t q, int w) {
    const auto a = static_cast<std::uint32_t>(kWeightOne - w);
    const auto b = static_cast<std::uint32_t>(w);
    const std::uint32_t redBlue = (((p & 0xFF00FFu) * a + (q & 0xFF00FFu) * b) >> 8) & 0xFF00FFu;
    const std::uint32_t alphaGreen =
        (((p >> 8) & 0xFF00FFu) * a + ((q >> 8) & 0xFF00FFu) * b) & 0xFF00FF00u;
    return redBlue | alphaGreen;
}
} // namespace

PicturePlacement placePicture(StageScaleMode mode, int pictureWidth, int pictureHeight,
                              int windowWidth, int windowHeight) {
    if (mode == StageScaleMode::EXACT_FIT || pictureWidth <= 0 || pictureHeight <= 0)
        return {0, 0, windowWidth, windowHeight};
    double scale = 1;
    const double sx = static_cast<double>(windowWidth) / pictureWidth;
    const double sy = static_cast<double>(windowHeight) / pictureHeight;
    if (mode == StageScaleMode::NO_BORDER)
        scale = std::max(sx, sy);
    else if (mode != StageScaleMode::NO_SCALE)
        scale = std::min(sx, sy); // show all
    const int w = static_cast<int>(std::lround(pictureWidth * scale));
    const int h = static_cast<int>(std::lround(pictureHeight * scale));
    return {(windowWidth - w) / 2, (windowHeight - h) / 2, w, h};
}

PictureSize capDrawnSize(int width, int height) {
    if (width <= 0 || height <= 0)
        return {std::max(0, width), std::max(0, height)};
    const double w = width;
    const double h = height;
    const double scale = std::min({1.0, kMaxDrawnSide / w, kMaxDrawnSide / h,
                                   std::sqrt(static_cast<double>(kMaxDrawnPixels) / (w * h))});
    if (scale >= 1)
        return {width, height};
    // Rounded down, so that both limits hold after rounding.
    return {std::max(1, static_cast<int>(w * scale)), std::max(1, static_cast<int>(h * scale))};
}

SharpScale sharpScale(int pictureWidth, int pictureHeight, int placedWidth, int placedHeight) {
    if (pictureWidth <= 0 || pictureHeight <= 0)
        return {};
    const int factor =
        std::max(1, std::min(placedWidth / pictureWidth, placedHeight / pictureHeight));
    const bool smooth =
        placedWidth != pictureWidth * factor || placedHeight != pictureHeight * factor;
    return {factor, smooth};
}

std::vector<SharpStretcher::Tap> SharpStretcher::taps(int sourceSize, int factor, int targetSize) {
    std::vector<Tap> out(static_cast<std::size_t>(std::max(0, targetSize)));
    const int enlarged = sourceSize * factor;
    const double step = static_cast<double>(enlarged) / targetSize;
    for (int x = 0; x < targetSize; ++x) {
        // The sample point in the enlarged picture, and the two enlarged pixels around it.
        const double u = (x + 0.5) * step - 0.5;
        const double below = std::floor(u);
        const int i = static_cast<int>(below);
        const int a = std::clamp(i, 0, enlarged - 1) / factor;
        const int b = std::clamp(i + 1, 0, enlarged - 1) / factor;
        // Inside one source pixel nothing blends: only its edges do.
        const int weight = a == b ? 0 : static_cast<int>(std::lround((u - below) * kWeightOne));
        out[static_cast<std::size_t>(x)] = weight >= kWeightOne ? Tap{b, 0} : Tap{a, weight};
    }
    return out;
}

void SharpStretcher::enlargeAcross(const std::uint32_t* in, std::uint32_t* out) const {
    for (const Run& run : across_) {
        const std::uint32_t pixel = in[run.tap.index];
        if (run.tap.weight == 0) {
            for (int i = 0; i < run.count; ++i)
                out[i] = pixel;
        } else {
            *out = blend(pixel, in[run.tap.index + 1], run.tap.weight);
        }
        out += run.count;
    }
}

const std::uint32_t* SharpStretcher::enlargedRow(int index) {
    for (int k = 0; k < 2; ++k) {
        if (rowIndex_[k] == index)
            return rows_[k].data();
    }
    // The older of the two goes: rows are asked for top to bottom.
    const int k = rowIndex_[0] < rowIndex_[1] ? 0 : 1;
    rows_[k].resize(static_cast<std::size_t>(targetWidth_));
    enlargeAcross(source_ + static_cast<std::ptrdiff_t>(index) * sourceWidth_, rows_[k].data());
    rowIndex_[k] = index;
    return rows_[k].data();
}

void SharpStretcher::stretch(const std::uint32_t* source, int sourceWidth, int sourceHeight,
                             std::uint32_t* target, int targetWidth, int targetHeight, int pitch,
                             bool targetHoldsLast) {
    if (sourceWidth <= 0 || sourceHeight <= 0 || targetWidth <= 0 || targetHeight <= 0)
        return;
    const bool sameSizes = sourceWidth == sourceWidth_ && sourceHeight == sourceHeight_ &&
                           targetWidth == targetWidth_ && targetHeight == targetHeight_;
    if (!sameSizes) {
        const int factor = sharpScale(sourceWidth, sourceHeight, targetWidth, targetHeight).factor;
        across_.clear();
        for (const Tap& tap : taps(sourceWidth, factor, targetWidth)) {
            if (tap.weight == 0 && !across_.empty() && across_.back().tap.weight == 0 &&
                across_.back().tap.index == tap.index) {
                ++across_.back().count;
            } else {
                across_.push_back({1, tap});
            }
        }
        down_ = taps(sourceHeight, factor, targetHeight);
        sourceWidth_ = sourceWidth;
        sourceHeight_ = sourceHeight;
        targetWidth_ = targetWidth;
        targetHeight_ = targetHeight;
    }
    const std::size_t count =
        static_cast<std::size_t>(sourceWidth) * static_cast<std::size_t>(sourceHeight);
    const bool compare = sameSizes && targetHoldsLast && last_.size() == count;
    changed_.assign(static_cast<std::size_t>(sourceHeight), true);
    if (compare) {
        const std::size_t rowBytes = static_cast<std::size_t>(sourceWidth) * sizeof(std::uint32_t);
        for (int r = 0; r < sourceHeight; ++r) {
            const std::size_t at = static_cast<std::size_t>(r) * sourceWidth;
            changed_[static_cast<std::size_t>(r)] =
                std::memcmp(source + at, last_.data() + at, rowBytes) != 0;
        }
    }
    source_ = source;
    rowIndex_[0] = rowIndex_[1] = -1; // the source is new every time

    const std::size_t rowBytes = static_cast<std::size_t>(targetWidth) * sizeof(std::uint32_t);
    for (int y = 0; y < targetHeight; ++y) {
        const Tap t = down_[static_cast<std::size_t>(y)];
        const bool dirty = changed_[static_cast<std::size_t>(t.index)] ||
                           (t.weight != 0 && changed_[static_cast<std::size_t>(t.index + 1)]);
        std::uint32_t* out = target + static_cast<std::ptrdiff_t>(y) * pitch;
        if (!dirty)
            continue;
        if (t.weight == 0) {
            std::memcpy(out, enlargedRow(t.index), rowBytes);
            continue;
        }
        // Byte by byte in 16-bit sums, which the compiler turns into vector arithmetic.
        const auto* upper = reinterpret_cast<const std::uint8_t*>(enlargedRow(t.index));
        const auto* lower = reinterpret_cast<const std::uint8_t*>(enlargedRow(t.index + 1));
        auto* bytes = reinterpret_cast<std::uint8_t*>(out);
        const auto a = static_cast<std::uint16_t>(kWeightOne - t.weight);
        const auto b = static_cast<std::uint16_t>(t.weight);
        for (std::size_t i = 0; i < rowBytes; ++i) {
            bytes[i] = static_cast<std::uint8_t>(
                static_cast<std::uint16_t>(upper[i] * a + lower[i] * b) >> 8);
        }
    }
    last_.assign(source, source + count);
}

} // namespace zindle
