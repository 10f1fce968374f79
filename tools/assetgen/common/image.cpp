// The RGBA picture's pixel operations: set, blend, stamp, crop, mirror and enlarge.
#include "common/image.h"

#include <stdexcept>

namespace assetgen {

Image::Image(int width, int height, Rgba fill) : width_(width), height_(height) {
    if (width < 0 || height < 0) {
        throw std::invalid_argument("negative image size");
    }
    pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), fill);
}

Rgba Image::at(int x, int y) const {
    if (!contains(x, y)) {
        return {};
    }
    return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                   static_cast<std::size_t>(x)];
}

void Image::set(int x, int y, Rgba colour) {
    if (contains(x, y)) {
        pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                static_cast<std::size_t>(x)] = colour;
    }
}

void Image::blend(int x, int y, Rgba colour) {
    if (!contains(x, y) || colour.a == 0) {
        return;
    }
    const Rgba dst = at(x, y);
    // Integer source-over, so the result is the same on every machine.
    const int sa = colour.a;
    const int da = dst.a * (255 - sa) / 255;
    const int oa = sa + da;
    auto mix = [&](int s, int d) { return oa == 0 ? 0 : (s * sa + d * da + oa / 2) / oa; };
    set(x, y,
        Rgba{static_cast<std::uint8_t>(mix(colour.r, dst.r)),
             static_cast<std::uint8_t>(mix(colour.g, dst.g)),
             static_cast<std::uint8_t>(mix(colour.b, dst.b)), static_cast<std::uint8_t>(oa)});
}

void Image::stamp(const Image& src, int x, int y) {
    for (int sy = 0; sy < src.height(); ++sy) {
        for (int sx = 0; sx < src.width(); ++sx) {
            const Rgba c = src.at(sx, sy);
            if (c.a != 0) {
                set(x + sx, y + sy, c);
            }
        }
    }
}

void Image::blendStamp(const Image& src, int x, int y) {
    for (int sy = 0; sy < src.height(); ++sy) {
        for (int sx = 0; sx < src.width(); ++sx) {
            blend(x + sx, y + sy, src.at(sx, sy));
        }
    }
}

Image Image::crop(int x, int y, int w, int h) const {
    Image out(w, h);
    for (int yy = 0; yy < h; ++yy) {
        for (int xx = 0; xx < w; ++xx) {
            out.set(xx, yy, at(x + xx, y + yy));
        }
    }
    return out;
}

Image Image::mirrored() const {
    Image out(width_, height_);
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            out.set(width_ - 1 - x, y, at(x, y));
        }
    }
    return out;
}

Image Image::flipped() const {
    Image out(width_, height_);
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            out.set(x, height_ - 1 - y, at(x, y));
        }
    }
    return out;
}

Image Image::rotatedLeft() const {
    Image out(height_, width_);
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            out.set(y, width_ - 1 - x, at(x, y));
        }
    }
    return out;
}

Image Image::rotatedRight() const {
    Image out(height_, width_);
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            out.set(height_ - 1 - y, x, at(x, y));
        }
    }
    return out;
}

Image Image::scaled(int factor) const {
    Image out(width_ * factor, height_ * factor);
    for (int y = 0; y < out.height(); ++y) {
        for (int x = 0; x < out.width(); ++x) {
            out.set(x, y, at(x / factor, y / factor));
        }
    }
    return out;
}

} // namespace assetgen
