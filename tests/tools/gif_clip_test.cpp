// The clip writer, decoded back with giflib: every frame shows the pixels it was given (the
// nearest of its palette where a frame has more colours than a palette holds), still areas cost
// next to nothing, and a bad path fails at once.
#include "gif_clip.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace zindle::shot {
namespace {

std::filesystem::path tempPath(const char* name) {
    return std::filesystem::temp_directory_path() /
           ("zindle-gif-" + std::to_string(::getpid()) + "-" + name);
}

Image filled(int w, int h, std::uint32_t colour) {
    Image image{w, h, {}};
    for (int i = 0; i < w * h; ++i)
        image.rgb.insert(image.rgb.end(), {static_cast<std::uint8_t>(colour >> 16),
                                           static_cast<std::uint8_t>(colour >> 8),
                                           static_cast<std::uint8_t>(colour)});
    return image;
}

void setPixel(Image& image, int x, int y, std::uint32_t colour) {
    // Checked: a pixel outside the picture is the test's own fault and should say so.
    const std::size_t at = (static_cast<std::size_t>(y) * image.width + x) * 3;
    image.rgb.at(at) = static_cast<std::uint8_t>(colour >> 16);
    image.rgb.at(at + 1) = static_cast<std::uint8_t>(colour >> 8);
    image.rgb.at(at + 2) = static_cast<std::uint8_t>(colour);
}

// The pictures a viewer shows, frame by frame (each frame drawn over the last, its transparent
// pixels leaving what was there), and each frame's delay.
struct Decoded {
    std::vector<Image> frames;
    std::vector<int> delays;
};

Decoded decode(const std::string& path) {
    int error = 0;
    GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
    EXPECT_NE(gif, nullptr);
    Decoded out;
    if (!gif)
        return out;
    EXPECT_EQ(DGifSlurp(gif), GIF_OK);
    Image canvas = filled(gif->SWidth, gif->SHeight, 0);
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& frame = gif->SavedImages[i];
        GraphicsControlBlock control{};
        DGifSavedExtensionToGCB(gif, i, &control);
        const ColorMapObject* map =
            frame.ImageDesc.ColorMap ? frame.ImageDesc.ColorMap : gif->SColorMap;
        for (int y = 0; y < frame.ImageDesc.Height; ++y) {
            for (int x = 0; x < frame.ImageDesc.Width; ++x) {
                const int entry = frame.RasterBits[y * frame.ImageDesc.Width + x];
                if (entry == control.TransparentColor)
                    continue;
                const GifColorType c = map->Colors[entry];
                setPixel(canvas, frame.ImageDesc.Left + x, frame.ImageDesc.Top + y,
                         static_cast<std::uint32_t>(c.Red) << 16 | c.Green << 8 | c.Blue);
            }
        }
        out.frames.push_back(canvas);
        out.delays.push_back(control.DelayTime);
    }
    DGifCloseFile(gif, &error);
    return out;
}

Image scaled(const Image& image, int scale) {
    return scaleUp(image, scale);
}

TEST(GifClipTest, FramesDecodeToTheirPixelsAtEveryScale) {
    // A still frame, one with a small change, the same again, one where everything changes.
    Image first = filled(12, 8, 0x85E3FF);
    for (int x = 0; x < 12; ++x)
        setPixel(first, x, 7, 0x101010 * static_cast<std::uint32_t>(x));
    Image second = first;
    setPixel(second, 3, 2, 0xFF0000);
    setPixel(second, 5, 4, 0x00FF00);
    const Image frames[] = {first, second, second, filled(12, 8, 0x202020)};
    for (const int scale : {1, 2, 3}) {
        const auto path = tempPath("frames.gif");
        GifClip clip(path.string(), 12, 8, scale);
        for (int i = 0; i < 4; ++i)
            clip.addFrame(frames[i], 3 + i);
        clip.finish();
        const Decoded decoded = decode(path.string());
        ASSERT_EQ(decoded.frames.size(), 4u);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(decoded.frames[i].rgb, scaled(frames[i], scale).rgb)
                << "frame " << i << " at " << scale << "x";
            EXPECT_EQ(decoded.delays[i], 3 + i);
        }
        std::filesystem::remove(path);
    }
}

TEST(GifClipTest, MoreColoursThanAPaletteGoToTheNearestOfTheCommonest) {
    // 300 colours, colour i on 300 - i pixels: the commonest 255 are kept exactly.
    std::vector<std::uint32_t> colours;
    for (int i = 0; i < 300; ++i)
        colours.push_back(static_cast<std::uint32_t>((i % 256) << 16 | (i / 256) * 40 << 8));
    Image image = filled(300, 300, 0);
    for (int i = 0; i < 300; ++i)
        for (int y = 0; y < 300 - i; ++y)
            setPixel(image, i, y, colours[static_cast<std::size_t>(i)]);
    const auto path = tempPath("colours.gif");
    GifClip clip(path.string(), 300, 300, 1);
    clip.addFrame(image, 10);
    clip.finish();
    const Image shown = decode(path.string()).frames.at(0);
    std::filesystem::remove(path);
    // Kept are the reds 0 (black, also the empty area below the columns) to 254; each colour
    // after them shows as the nearest of those.
    for (int i = 0; i < 300; ++i) {
        const std::size_t at = static_cast<std::size_t>(i) * 3;
        EXPECT_EQ(shown.rgb[at], std::min(i % 256, 254)) << i;
        EXPECT_EQ(shown.rgb[at + 1], 0) << i;
        EXPECT_EQ(shown.rgb[at + 2], 0) << i;
    }
}

TEST(GifClipTest, StillFramesCostNextToNothing) {
    Image busy = filled(480, 320, 0);
    for (int y = 0; y < 320; ++y)
        for (int x = 0; x < 480; ++x)
            setPixel(busy, x, y, static_cast<std::uint32_t>((x * 7 + y * 13) % 200) * 0x010101);
    auto sizeWith = [&](int frames) {
        const auto path = tempPath("still.gif");
        GifClip clip(path.string(), 480, 320, 2);
        for (int i = 0; i < frames; ++i)
            clip.addFrame(busy, 3);
        clip.finish();
        const auto size = std::filesystem::file_size(path);
        std::filesystem::remove(path);
        return size;
    };
    EXPECT_LT(sizeWith(61) - sizeWith(1), 60u * 40) << "bytes for 60 unchanged frames";
}

TEST(GifClipTest, APathThatCannotBeWrittenFailsAtOnceNamingIt) {
    const std::string bad = tempPath("no-such-folder").string() + "/clip.gif";
    try {
        GifClip clip(bad, 480, 320, 2);
        ADD_FAILURE() << "opened " << bad;
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(bad), std::string::npos) << e.what();
    }
    // A clip left unfinished (its run failed) leaves no file behind.
    const auto path = tempPath("unfinished.gif");
    {
        GifClip clip(path.string(), 4, 4, 1);
        clip.addFrame(filled(4, 4, 0x123456), 3);
        EXPECT_THROW(clip.addFrame(filled(5, 4, 0), 3), std::logic_error);
    }
    EXPECT_FALSE(std::filesystem::exists(path));
}

} // namespace
} // namespace zindle::shot
