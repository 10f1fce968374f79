// Reading and writing PNG files through libpng, with fixed settings and no time stamp so that
// the same picture always gives the same bytes.
#include "common/png_io.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

namespace assetgen {
namespace {

// Highest zlib effort and one fixed filter: size matters little, reproducibility does.
constexpr int kCompressionLevel = 9;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File openFile(const std::filesystem::path& path, const char* mode) {
    File f(std::fopen(path.string().c_str(), mode));
    if (!f) {
        throw std::runtime_error("cannot open " + path.string());
    }
    return f;
}

// libpng is C: errors leave through longjmp, never through a C++ exception, so the jumping
// functions below keep only plain data alive across setjmp.
thread_local char gPngMessage[256];

void onPngError(png_structp png, png_const_charp message) {
    std::snprintf(gPngMessage, sizeof gPngMessage, "%s", message);
    png_longjmp(png, 1);
}

void onPngWarning(png_structp, png_const_charp) {}

// Returns false on a libpng error; rows holds height pointers of width*4 bytes each.
bool writeRows(std::FILE* file, png_uint_32 width, png_uint_32 height, png_bytepp rows) {
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, onPngError, onPngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return false;
    }
    png_init_io(png, file);
    png_set_compression_level(png, kCompressionLevel);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

struct ReadResult {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
};

// Reads the header and then, when buffer is large enough, the pixels as 8-bit RGBA.
bool readRows(std::FILE* file, ReadResult& result, std::vector<png_byte>& buffer,
              std::vector<png_bytep>& rows) {
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onPngError, onPngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        return false;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    result.width = png_get_image_width(png, info);
    result.height = png_get_image_height(png, info);
    // Sizes are checked before allocating, so a corrupt header cannot ask for gigabytes.
    constexpr png_uint_32 kMaxSide = 16384;
    if (result.width > kMaxSide || result.height > kMaxSide) {
        std::snprintf(gPngMessage, sizeof gPngMessage, "image too large");
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    buffer.resize(std::size_t{result.width} * result.height * 4);
    rows.resize(result.height);
    for (png_uint_32 y = 0; y < result.height; ++y) {
        rows[y] = buffer.data() + std::size_t{y} * result.width * 4;
    }
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

} // namespace

void writePng(const std::filesystem::path& path, const Image& image) {
    const auto w = static_cast<std::size_t>(image.width());
    std::vector<png_byte> buffer(w * static_cast<std::size_t>(image.height()) * 4);
    std::vector<png_bytep> rows(static_cast<std::size_t>(image.height()));
    for (int y = 0; y < image.height(); ++y) {
        rows[static_cast<std::size_t>(y)] = buffer.data() + static_cast<std::size_t>(y) * w * 4;
        for (int x = 0; x < image.width(); ++x) {
            const Rgba c = image.at(x, y);
            png_byte* p = rows[static_cast<std::size_t>(y)] + static_cast<std::size_t>(x) * 4;
            p[0] = c.r;
            p[1] = c.g;
            p[2] = c.b;
            p[3] = c.a;
        }
    }
    File file = openFile(path, "wb");
    if (!writeRows(file.get(), static_cast<png_uint_32>(image.width()),
                   static_cast<png_uint_32>(image.height()), rows.data())) {
        throw std::runtime_error("cannot write " + path.string() + ": " + gPngMessage);
    }
    if (std::fflush(file.get()) != 0) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

Image readPng(const std::filesystem::path& path) {
    File file = openFile(path, "rb");
    ReadResult header;
    std::vector<png_byte> buffer;
    std::vector<png_bytep> rows;
    if (!readRows(file.get(), header, buffer, rows)) {
        throw std::runtime_error("cannot read " + path.string() + ": " + gPngMessage);
    }
    Image image(static_cast<int>(header.width), static_cast<int>(header.height));
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const png_byte* p =
                &buffer[(static_cast<std::size_t>(y) * header.width + static_cast<std::size_t>(x)) *
                        4];
            image.set(x, y, Rgba{p[0], p[1], p[2], p[3]});
        }
    }
    return image;
}

} // namespace assetgen
