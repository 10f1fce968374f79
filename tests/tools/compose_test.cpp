// Screenshots: tiles land where the renderer puts them and blend over what lies beneath.
#include "compose.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace zindle;
using namespace zindle::shot;

namespace {

// A 4x2 atlas: left half opaque red, right half half-transparent blue.
const std::vector<std::uint8_t> kAtlas = {
    255, 0, 0, 255, 255, 0, 0, 255, 0, 0, 255, 128, 0, 0, 255, 128, //
    255, 0, 0, 255, 255, 0, 0, 255, 0, 0, 255, 128, 0, 0, 255, 128,
};

AtlasPixels lookup(BitmapHandle) {
    return {4, 2, &kAtlas};
}

HeadlessMedia::DrawnTile tile(double rx, double x, double y, double cx = 1, double cy = 1) {
    return {BitmapHandle{1}, {rx, 0, 2, 2}, {cx, cy}, x, y, 0};
}

std::vector<std::uint8_t> at(const Image& image, int x, int y) {
    auto p = image.rgb.begin() + (y * image.width + x) * 3;
    return {p, p + 3};
}

using RGB = std::vector<std::uint8_t>;

} // namespace

TEST(ShotComposeTest, TilesAreCentredOnTheirPositionOverTheBackground) {
    HeadlessMedia::Frame frame{0, {tile(0, 3, 3)}};
    auto image = composeFrame(frame, lookup, 0x85E3FF, 6, 6);
    EXPECT_EQ(at(image, 0, 0), (RGB{0x85, 0xE3, 0xFF}));
    EXPECT_EQ(at(image, 2, 2), (RGB{255, 0, 0}));
    EXPECT_EQ(at(image, 3, 3), (RGB{255, 0, 0}));
    EXPECT_EQ(at(image, 4, 4), (RGB{0x85, 0xE3, 0xFF}));
    EXPECT_EQ(at(image, 1, 1), (RGB{0x85, 0xE3, 0xFF}));
}

TEST(ShotComposeTest, LaterTilesBlendOverEarlierOnesByAlpha) {
    HeadlessMedia::Frame frame{0, {tile(0, 1, 1), tile(2, 1, 1)}};
    auto image = composeFrame(frame, lookup, 0x000000, 2, 2);
    // Blue at alpha 128 over red: (255*127 + 127) / 255 = 127 red, 128 blue.
    EXPECT_EQ(at(image, 0, 0), (RGB{127, 0, 128}));
}

TEST(ShotComposeTest, FractionalPositionsSnapToTheNearestPixelAndEdgesClip) {
    HeadlessMedia::Frame frame{0, {tile(0, 1.4, 1.6), tile(0, -0.4, 5.9), tile(0, 3.5, 4.5)}};
    auto image = composeFrame(frame, lookup, 0x000000, 6, 6);
    // Left edge at 0.4, top at 0.6: pixels 0..1 across, 1..2 down.
    EXPECT_EQ(at(image, 0, 1), (RGB{255, 0, 0}));
    EXPECT_EQ(at(image, 1, 2), (RGB{255, 0, 0}));
    EXPECT_EQ(at(image, 2, 1), (RGB{0, 0, 0}));
    EXPECT_EQ(at(image, 0, 0), (RGB{0, 0, 0}));
    // The second tile hangs off the left and bottom edges; only pixel (0, 5) shows.
    EXPECT_EQ(at(image, 0, 5), (RGB{255, 0, 0}));
    EXPECT_EQ(at(image, 1, 5), (RGB{0, 0, 0}));
    // A corner on a half pixel (2.5, 3.5) rounds up, as the renderer rounds it.
    EXPECT_EQ(at(image, 2, 4), (RGB{0, 0, 0}));
    EXPECT_EQ(at(image, 3, 4), (RGB{255, 0, 0}));
    EXPECT_EQ(at(image, 3, 3), (RGB{0, 0, 0}));
    EXPECT_EQ(at(image, 4, 5), (RGB{255, 0, 0}));
    EXPECT_EQ(at(image, 5, 4), (RGB{0, 0, 0}));
}

TEST(ShotComposeTest, ScalingRepeatsEveryPixelAsABlock) {
    Image image{2, 1, {1, 2, 3, 4, 5, 6}};
    auto big = scaleUp(image, 3);
    ASSERT_EQ(big.width, 6);
    ASSERT_EQ(big.height, 3);
    EXPECT_EQ(at(big, 2, 2), (RGB{1, 2, 3}));
    EXPECT_EQ(at(big, 3, 0), (RGB{4, 5, 6}));
}

// Centres and positions near and beyond the ends of an int (a tile list may hold centres of
// +-2^31) draw nothing and convert nothing out of range; the sanitizer build checks the latter.
TEST(ShotComposeTest, FarAwayTilesDrawNothing) {
    const double far = 2147483648.0; // 2^31
    HeadlessMedia::Frame frame{0,
                               {tile(0, 3, 3, far, far), tile(0, 3, 3, -far, -far),
                                tile(0, 1e300, -1e300), tile(0, 3, 3, far - 1, 0),
                                tile(0, std::nan(""), 3)}};
    const auto image = composeFrame(frame, lookup, 0x85E3FF, 6, 6);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(at(image, x, y), (RGB{0x85, 0xE3, 0xFF})) << x << "," << y;
}
