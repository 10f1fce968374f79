// Frames go to giflib as they come: the changed rectangle is found and indexed at the frame's own
// size, then each row of indices is enlarged while it is written.
#include "gif_clip.h"

#include <gif_lib.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <unordered_map>
#include <vector>

namespace zindle::shot {

namespace {

constexpr int kTransparent = 0;  // palette entry 0: "leave the previous frame's pixel"
constexpr int kMaxColours = 255; // the other entries
constexpr int kMaxSide = 65535;  // GIF sizes are 16-bit

std::uint32_t colourAt(const Image& image, int x, int y) {
    const auto i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) +
                    static_cast<std::size_t>(x)) *
                   3;
    return static_cast<std::uint32_t>(image.rgb[i]) << 16 |
           static_cast<std::uint32_t>(image.rgb[i + 1]) << 8 | image.rgb[i + 2];
}

int distance(std::uint32_t a, std::uint32_t b) {
    int sum = 0;
    for (int shift : {16, 8, 0}) {
        const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        sum += d * d;
    }
    return sum;
}

struct Box {
    int left = 0;
    int top = 0;
    int right = -1; // inclusive; right < left means nothing changed
    int bottom = -1;
    bool empty() const { return right < left; }
};

// The palette for colours (with their counts): every colour when they fit, otherwise the most
// frequent ones and, for each other colour, its nearest among them.
struct Palette {
    std::vector<std::uint32_t> colours;
    std::unordered_map<std::uint32_t, int> index; // colour -> palette entry
};

Palette makePalette(const std::unordered_map<std::uint32_t, int>& counts) {
    std::vector<std::pair<std::uint32_t, int>> byCount(counts.begin(), counts.end());
    // Ties are broken by colour, so that the same frame always gets the same palette.
    std::sort(byCount.begin(), byCount.end(), [](const auto& a, const auto& b) {
        return a.second != b.second ? a.second > b.second : a.first < b.first;
    });
    Palette palette;
    palette.colours.push_back(0); // the transparent entry
    for (const auto& [colour, count] : byCount) {
        if (palette.colours.size() <= static_cast<std::size_t>(kMaxColours)) {
            palette.index[colour] = static_cast<int>(palette.colours.size());
            palette.colours.push_back(colour);
            continue;
        }
        int best = 1;
        for (std::size_t i = 2; i < palette.colours.size(); ++i) {
            if (distance(colour, palette.colours[i]) <
                distance(colour, palette.colours[static_cast<std::size_t>(best)]))
                best = static_cast<int>(i);
        }
        palette.index[colour] = best;
    }
    return palette;
}

} // namespace

struct GifClip::File {
    GifFileType* gif = nullptr;
};

GifClip::GifClip(const std::string& path, int width, int height, int scale)
    : file_(std::make_unique<File>()), path_(path), width_(width), height_(height), scale_(scale) {
    if (width < 1 || height < 1 || scale < 1 || width * scale > kMaxSide ||
        height * scale > kMaxSide)
        throw std::runtime_error(path + ": a GIF of " + std::to_string(width * scale) + "x" +
                                 std::to_string(height * scale) + " pixels cannot be written");
    // Opened here rather than by giflib, which would make the file readable by its owner only.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        throw std::runtime_error(path + ": cannot be written (" + std::strerror(errno) + ")");
    int error = 0;
    file_->gif = EGifOpenFileHandle(fd, &error);
    if (!file_->gif) {
        ::close(fd);
        throw std::runtime_error(path + ": cannot be written (" + GifErrorString(error) + ")");
    }
    EGifSetGifVersion(file_->gif, true); // transparency and delays need GIF89a
    // Loops for ever (the NETSCAPE2.0 application block: sub-block 1, loop count 0).
    const unsigned char loop[] = {1, 0, 0};
    if (EGifPutScreenDesc(file_->gif, width * scale, height * scale, 8, 0, nullptr) == GIF_ERROR ||
        EGifPutExtensionLeader(file_->gif, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR ||
        EGifPutExtensionBlock(file_->gif, 11, "NETSCAPE2.0") == GIF_ERROR ||
        EGifPutExtensionBlock(file_->gif, sizeof loop, loop) == GIF_ERROR ||
        EGifPutExtensionTrailer(file_->gif) == GIF_ERROR) {
        EGifCloseFile(file_->gif, &error);
        file_->gif = nullptr;
        std::remove(path.c_str());
        throw std::runtime_error(path + ": cannot be written");
    }
}

GifClip::~GifClip() {
    // Not finished (a failed run or write): a clip cut short is of no use, so it goes.
    if (file_->gif) {
        int error = 0;
        EGifCloseFile(file_->gif, &error);
        std::remove(path_.c_str());
    }
}

void GifClip::addFrame(const Image& image, int delayCentiseconds) {
    if (image.width != width_ || image.height != height_)
        throw std::logic_error("a clip's frames must all have its size");
    const bool first = previous_.rgb.empty();
    // The rectangle that changed (all of the first frame), and the colours it needs.
    Box box;
    box.left = width_;
    box.top = height_;
    std::unordered_map<std::uint32_t, int> counts;
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            const std::uint32_t colour = colourAt(image, x, y);
            if (!first && colour == colourAt(previous_, x, y))
                continue;
            ++counts[colour];
            box.left = std::min(box.left, x);
            box.right = std::max(box.right, x);
            box.top = std::min(box.top, y);
            box.bottom = std::max(box.bottom, y);
        }
    }
    if (box.empty()) // nothing changed: one transparent pixel carries the delay
        box = Box{0, 0, 0, 0};
    const Palette palette = makePalette(counts);

    // The smallest palette that holds them: an unchanged frame's costs six bytes, not 768.
    int mapSize = 2;
    while (mapSize < static_cast<int>(palette.colours.size()))
        mapSize *= 2;
    ColorMapObject* map = GifMakeMapObject(mapSize, nullptr);
    if (!map)
        throw std::runtime_error(path_ + ": out of memory");
    for (std::size_t i = 0; i < palette.colours.size(); ++i) {
        map->Colors[i] = GifColorType{static_cast<GifByteType>(palette.colours[i] >> 16),
                                      static_cast<GifByteType>(palette.colours[i] >> 8),
                                      static_cast<GifByteType>(palette.colours[i])};
    }
    GraphicsControlBlock control{};
    control.DisposalMode = DISPOSE_DO_NOT;
    control.UserInputFlag = false;
    control.DelayTime = delayCentiseconds;
    control.TransparentColor = kTransparent;
    GifByteType extension[4];
    const auto extensionSize = EGifGCBToExtension(&control, extension);
    const int left = box.left * scale_;
    const int top = box.top * scale_;
    const int w = (box.right - box.left + 1) * scale_;
    const int h = (box.bottom - box.top + 1) * scale_;
    bool ok = EGifPutExtension(file_->gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(extensionSize),
                               extension) != GIF_ERROR &&
              EGifPutImageDesc(file_->gif, left, top, w, h, false, map) != GIF_ERROR;
    GifFreeMapObject(map);

    std::vector<GifPixelType> row(static_cast<std::size_t>(w));
    for (int y = box.top; ok && y <= box.bottom; ++y) {
        for (int x = box.left; x <= box.right; ++x) {
            const std::uint32_t colour = colourAt(image, x, y);
            const bool same = !first && colour == colourAt(previous_, x, y);
            const auto entry =
                static_cast<GifPixelType>(same ? kTransparent : palette.index.at(colour));
            std::fill_n(row.begin() + (x - box.left) * scale_, scale_, entry);
        }
        for (int copy = 0; ok && copy < scale_; ++copy)
            ok = EGifPutLine(file_->gif, row.data(), w) != GIF_ERROR;
    }
    if (!ok)
        throw std::runtime_error(path_ + ": writing failed");
    previous_ = image;
}

void GifClip::finish() {
    int error = 0;
    GifFileType* gif = file_->gif;
    file_->gif = nullptr;
    if (EGifCloseFile(gif, &error) == GIF_ERROR) {
        std::remove(path_.c_str());
        throw std::runtime_error(path_ + ": writing failed (" + GifErrorString(error) + ")");
    }
}

} // namespace zindle::shot
