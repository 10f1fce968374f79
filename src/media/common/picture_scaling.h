#pragma once
// Where the stage's picture goes in a window of another size, and how it is enlarged there: by
// the stage's scale mode, then sharply, a whole number of times with nearest-neighbour
// sampling and smoothly only for the remaining fraction, so that every source pixel covers the
// same area of the screen and only its edges blend. Shared by the backends that stretch.
#include "framework/media.h"

#include <cstdint>
#include <vector>

namespace zindle {

// The picture's rectangle in window pixels.
struct PicturePlacement {
    int x = 0, y = 0, width = 0, height = 0;
};

// By the stage's scale mode (see StageScaleMode); centred where it does not cover the window.
PicturePlacement placePicture(StageScaleMode mode, int pictureWidth, int pictureHeight,
                              int windowWidth, int windowHeight);

// The largest picture the game draws for a window: what the largest screens in use need (8K,
// 7680 by 4320, in either orientation). A window larger than that (a bare X server lets any
// client make it up to 32767 pixels a side) gets a picture of at most that size, enlarged to
// the window by the renderer, instead of buffers that grow with the window.
constexpr int kMaxDrawnSide = 7680;
constexpr long long kMaxDrawnPixels = 7680LL * 4320;

struct PictureSize {
    int width = 0, height = 0;
    bool operator==(const PictureSize&) const = default;
};
// `width` by `height` when it is within those limits; otherwise the largest size of the same
// shape (to the pixel, rounded down, at least 1 by 1) that is. Sizes below 1 become 0.
PictureSize capDrawnSize(int width, int height);

// How a picture is enlarged to its placed size: first `factor` times on both axes with
// nearest-neighbour sampling (the largest whole number that fits on both axes, at least 1),
// then, when `smooth`, filtered to the placed size.
struct SharpScale {
    int factor = 1;
    bool smooth = false;
};
SharpScale sharpScale(int pictureWidth, int pictureHeight, int placedWidth, int placedHeight);

// The same enlargement done on the processor, for renderers whose own filtering is slow (SDL's
// software renderer): 0xAARRGGBB pixels, rows of `sourceWidth` and of `pitch` pixels. The
// result equals enlarging by sharpScale's factor with nearest-neighbour sampling and then
// filtering bilinearly (sample points at pixel centres, edges clamped) to the target size.
class SharpStretcher {
public:
    // When `targetHoldsLast` is set, the target still holds this stretcher's previous result
    // at the same sizes: only the rows that depend on changed source rows are written again.
    void stretch(const std::uint32_t* source, int sourceWidth, int sourceHeight,
                 std::uint32_t* target, int targetWidth, int targetHeight, int pitch,
                 bool targetHoldsLast);

    // One target pixel along an axis: source index, and the weight (of 256) of index + 1.
    struct Tap {
        int index = 0;
        int weight = 0;
    };
    // Exposed for tests: the taps of one axis.
    static std::vector<Tap> taps(int sourceSize, int factor, int targetSize);

private:
    // A run of target pixels across: `count` copies of one source pixel, or one blend.
    struct Run {
        int count = 0;
        Tap tap;
    };
    void enlargeAcross(const std::uint32_t* in, std::uint32_t* out) const;
    const std::uint32_t* enlargedRow(int index); // cached for the two latest rows

    std::vector<Run> across_;
    std::vector<Tap> down_;
    int sourceWidth_ = 0, sourceHeight_ = 0, targetWidth_ = 0, targetHeight_ = 0;
    const std::uint32_t* source_ = nullptr;
    std::vector<std::uint32_t> last_; // the previous source, to find the rows that changed
    std::vector<bool> changed_;
    std::vector<std::uint32_t> rows_[2];
    int rowIndex_[2] = {-1, -1};
};

} // namespace zindle
