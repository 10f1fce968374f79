// Atlas decoding: only PNG, only of a size a small game could need, and 16-bit files in the same
// colours as 8-bit ones.
#include "media/common/png_decode.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <string>
#include <vector>

namespace zindle {
namespace {

// A grey PNG written with libpng's full interface, which (unlike the simplified one) writes no
// gAMA or sRGB chunk unless asked: rows of the given 8- or 16-bit value.
std::vector<std::uint8_t> greyPng(png_uint_32 width, png_uint_32 height, int bitDepth,
                                  unsigned value) {
    std::vector<std::uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        ADD_FAILURE() << "libpng could not write the test image";
        return {};
    }
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t size) {
            auto* bytes = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(p));
            bytes->insert(bytes->end(), data, data + size);
        },
        nullptr);
    png_set_IHDR(png, info, width, height, bitDepth, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const std::size_t rowBytes = (std::size_t{width} * bitDepth + 7) / 8;
    std::vector<std::uint8_t> row(rowBytes);
    for (std::size_t i = 0; i < rowBytes; ++i)
        row[i] = static_cast<std::uint8_t>(bitDepth == 16 && i % 2 == 1 ? value & 0xFF
                                           : bitDepth == 16             ? value >> 8
                                                                        : value);
    for (png_uint_32 y = 0; y < height; ++y)
        png_write_row(png, row.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

TEST(PngDecodeTest, SixteenBitGreyWithoutColourChunkKeepsItsSrgbValues) {
    const auto eight = decodePng(greyPng(2, 2, 8, 0x80), PixelOrder::RGBA);
    const auto sixteen = decodePng(greyPng(2, 2, 16, 0x8080), PixelOrder::RGBA);
    ASSERT_TRUE(eight && sixteen);
    EXPECT_EQ(eight->pixels[0], 0x80);
    // Read as linear light, 0x8080 would come out near 0xBC: washed out.
    EXPECT_EQ(sixteen->pixels[0], 0x80);
    EXPECT_EQ(sixteen->pixels, eight->pixels);
}

TEST(PngDecodeTest, AtlasesLargerThanAGameCouldNeedAreRefusedByTheirHeader) {
    // One-bit images cost little to write, while their decoded size is what counts.
    EXPECT_TRUE(decodePng(greyPng(kMaxImageSide, 1, 1, 0), PixelOrder::RGBA));
    EXPECT_TRUE(decodePng(greyPng(2048, 2048, 1, 0), PixelOrder::BGRA));
    std::string problem;
    for (auto [w, h] : {std::pair{kMaxImageSide + 1, 1u}, std::pair{1u, kMaxImageSide + 1},
                        std::pair{2048u, 2049u}, std::pair{16384u, 16384u}}) {
        EXPECT_FALSE(decodePng(greyPng(w, h, 1, 0), PixelOrder::RGBA, &problem)) << w << "x" << h;
        EXPECT_NE(problem.find(std::to_string(w) + "x" + std::to_string(h) + " pixels, larger"),
                  std::string::npos)
            << problem;
    }
}

TEST(PngDecodeTest, OtherFormatsAreRefusedByTheirSignature) {
    const std::string bmp = "BM\x46\0\0\0\0\0\0\0\x36\0\0\0(\0\0\0", gif = "GIF89a\x01\0\x01\0";
    std::string problem;
    for (const std::string& bytes : {bmp, gif, std::string()}) {
        const std::vector<std::uint8_t> data(bytes.begin(), bytes.end());
        EXPECT_FALSE(isPng(data));
        EXPECT_FALSE(decodePng(data, PixelOrder::RGBA, &problem));
        EXPECT_EQ(problem, "not a PNG image");
    }
}

} // namespace
} // namespace zindle
