#pragma once
// An RGBA picture in memory and the few pixel operations the generators need.
#include <cstdint>
#include <vector>

namespace assetgen {

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 0;
    bool operator==(const Rgba&) const = default;
};

class Image {
public:
    Image() = default;
    Image(int width, int height, Rgba fill = {});

    int width() const { return width_; }
    int height() const { return height_; }
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

    // Out-of-range reads give transparent; out-of-range writes are dropped, so callers can
    // stamp pictures that hang over an edge.
    Rgba at(int x, int y) const;
    void set(int x, int y, Rgba colour);
    // Source-over blending, for glows and shadows laid over finished pixels.
    void blend(int x, int y, Rgba colour);

    // Copies every non-transparent pixel of src with its top-left at (x, y).
    void stamp(const Image& src, int x, int y);
    // Like stamp, with alpha blending instead of replacing.
    void blendStamp(const Image& src, int x, int y);
    // The rectangle (x, y, w, h) as a new picture.
    Image crop(int x, int y, int w, int h) const;

    Image mirrored() const;         // left-right
    Image flipped() const;          // top-bottom
    Image rotatedLeft() const;      // a quarter turn anticlockwise
    Image rotatedRight() const;     // a quarter turn clockwise
    Image scaled(int factor) const; // nearest neighbour

    const std::vector<Rgba>& pixels() const { return pixels_; }

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<Rgba> pixels_;
};

} // namespace assetgen
