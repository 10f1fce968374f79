// The picture's placement in the window and its sharp enlargement: whole-number factors with
// nearest-neighbour sampling, smoothing only for the remaining fraction.
#include "media/common/picture_scaling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace zindle {
namespace {

TEST(PictureScalingTest, PlacementByScaleModeAndTheWholeNumberPartOfTheEnlargement) {
    const PicturePlacement fit = placePicture(StageScaleMode::EXACT_FIT, 480, 320, 1920, 1080);
    EXPECT_EQ(fit.x, 0);
    EXPECT_EQ(fit.y, 0);
    EXPECT_EQ(fit.width, 1920); // exact fit: the whole window, whatever its shape
    EXPECT_EQ(fit.height, 1080);
    const PicturePlacement all = placePicture(StageScaleMode::SHOW_ALL, 480, 320, 960, 960);
    EXPECT_EQ(all.y, 160);
    EXPECT_EQ(all.height, 640);

    struct Case {
        int width, height, factor;
        bool smooth;
    };
    for (const Case c :
         {Case{480, 320, 1, false}, Case{960, 640, 2, false}, Case{1440, 960, 3, false},
          Case{1280, 720, 2, true}, Case{1920, 1080, 3, true}, Case{960, 960, 2, true},
          Case{400, 300, 1, true}}) {
        const SharpScale s = sharpScale(480, 320, c.width, c.height);
        EXPECT_EQ(s.factor, c.factor) << c.width << "x" << c.height;
        EXPECT_EQ(s.smooth, c.smooth) << c.width << "x" << c.height;
    }
}

TEST(PictureScalingTest, DrawnSizeIsCappedAtWhatTheLargestScreensNeedKeepingItsShape) {
    struct Case {
        int width, height;
        PictureSize drawn;
    };
    for (const Case c : {
             Case{480, 320, {480, 320}},
             Case{1920, 1080, {1920, 1080}},
             Case{7680, 4320, {7680, 4320}},   // 8K: the largest that is kept
             Case{4320, 7680, {4320, 7680}},   // 8K turned on its side
             Case{7681, 4320, {7680, 4319}},   // one pixel over: the same shape, smaller
             Case{16000, 16000, {5760, 5760}}, // square: bound by the pixel count
             Case{32767, 32767, {5760, 5760}}, // the largest X window
             Case{32767, 1, {7680, 1}},        // a sliver: bound by its long side
             Case{1, 32767, {1, 7680}},
             Case{32767, 100, {7680, 23}},
             Case{15360, 8640, {7680, 4320}}, // 16K: halved
             Case{0, 500, {0, 500}},          // nothing to draw: left as it is
             Case{-5, 100000, {0, 100000}},
         }) {
        const PictureSize drawn = capDrawnSize(c.width, c.height);
        EXPECT_EQ(drawn, c.drawn) << c.width << "x" << c.height << " gave " << drawn.width << "x"
                                  << drawn.height;
        if (c.width > 0 && c.height > 0) {
            EXPECT_LE(drawn.width, kMaxDrawnSide);
            EXPECT_LE(drawn.height, kMaxDrawnSide);
            EXPECT_LE(static_cast<long long>(drawn.width) * drawn.height, kMaxDrawnPixels);
        }
    }
}

// How much of the target each source pixel covers along one axis: whole pixels it fills, plus
// its share of the blended ones.
std::vector<double> coverage(const std::vector<SharpStretcher::Tap>& taps, int sourceSize) {
    std::vector<double> area(static_cast<std::size_t>(sourceSize), 0);
    for (const SharpStretcher::Tap& t : taps) {
        area[static_cast<std::size_t>(t.index)] += 1 - t.weight / 256.0;
        if (t.weight != 0)
            area[static_cast<std::size_t>(t.index + 1)] += t.weight / 256.0;
    }
    return area;
}

TEST(PictureScalingTest, EverySourcePixelCoversTheSameAreaAndOnlyItsEdgesBlend) {
    struct Axis {
        int source, target, factor; // the factor of the whole 480 by 320 picture
    };
    for (const Axis a :
         {Axis{480, 1280, 2}, Axis{320, 720, 2}, Axis{480, 1920, 3}, Axis{320, 1080, 3}}) {
        const auto taps = SharpStretcher::taps(a.source, a.factor, a.target);
        const double scale = static_cast<double>(a.target) / a.source;
        const std::vector<double> area = coverage(taps, a.source);
        // Nearest-neighbour alone would give whole pixels only: 2 or 3 at 2.67, a third off.
        for (int i = 1; i + 1 < a.source; ++i)
            EXPECT_NEAR(area[static_cast<std::size_t>(i)], scale, 0.2)
                << a.source << "->" << a.target;
        // Blends sit only at the edges between source pixels, at most two target pixels each;
        // filtering the whole way would blend nearly every pixel.
        int blended = 0;
        for (const auto& t : taps)
            blended += t.weight != 0;
        EXPECT_LE(blended, 2 * (a.source - 1)) << a.source << "->" << a.target;
        EXPECT_LT(blended, a.target * 2 / 3) << a.source << "->" << a.target;
    }
}

std::vector<std::uint32_t> stretched(SharpStretcher& s, const std::vector<std::uint32_t>& source,
                                     int w, int h, int tw, int th,
                                     std::vector<std::uint32_t> target, bool holdsLast) {
    s.stretch(source.data(), w, h, target.data(), tw, th, tw, holdsLast);
    return target;
}

TEST(PictureScalingTest, StretchCopiesInsidePixelsBlendsEdgesAndRedoesOnlyChangedRows) {
    constexpr int w = 4, h = 3, tw = 11, th = 7; // factor 2, then 8x6 filtered to 11x7
    std::vector<std::uint32_t> source(w * h);
    for (std::size_t i = 0; i < source.size(); ++i)
        source[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 0x151515u);
    SharpStretcher s;
    const std::vector<std::uint32_t> blank(tw * th, 0);
    const auto first = stretched(s, source, w, h, tw, th, blank, false);
    // Each source pixel shows unmixed somewhere, and every blend lies between its neighbours.
    const auto down = SharpStretcher::taps(h, 2, th);
    const auto across = SharpStretcher::taps(w, 2, tw);
    for (int y = 0; y < th; ++y) {
        for (int x = 0; x < tw; ++x) {
            const auto ty = down[static_cast<std::size_t>(y)];
            const auto tx = across[static_cast<std::size_t>(x)];
            const std::uint32_t got = first[static_cast<std::size_t>(y * tw + x)];
            if (ty.weight == 0 && tx.weight == 0) {
                EXPECT_EQ(got, source[static_cast<std::size_t>(ty.index * w + tx.index)]);
                continue;
            }
            for (int shift : {0, 8, 16}) {
                auto channel = [&](int sy, int sx) {
                    return static_cast<int>(source[static_cast<std::size_t>(sy * w + sx)] >> shift &
                                            0xFF);
                };
                const int lowY = ty.index, highY = ty.weight ? ty.index + 1 : ty.index;
                const int lowX = tx.index, highX = tx.weight ? tx.index + 1 : tx.index;
                int lo = 255, hi = 0;
                for (int sy : {lowY, highY}) {
                    for (int sx : {lowX, highX}) {
                        lo = std::min(lo, channel(sy, sx));
                        hi = std::max(hi, channel(sy, sx));
                    }
                }
                const int c = static_cast<int>(got >> shift & 0xFF);
                EXPECT_GE(c, lo - 1) << x << "," << y;
                EXPECT_LE(c, hi + 1) << x << "," << y;
            }
        }
    }
    // One changed pixel: the target that still holds the last result ends up as a fresh one.
    source[static_cast<std::size_t>(1 * w + 2)] = 0xFF123456u;
    const auto updated = stretched(s, source, w, h, tw, th, first, true);
    SharpStretcher fresh;
    EXPECT_EQ(updated, stretched(fresh, source, w, h, tw, th, blank, false));
    EXPECT_NE(updated, first);
}

} // namespace
} // namespace zindle
