// On SDL's software renderer, the tiles are blended here straight into the pixels the renderer
// presents: SDL's own copy costs several times the blend itself per tile, and a win fountain
// draws thousands. The blend repeats SDL's, rounding included, so the picture is the same.
#include "media/sdl/sdl_media.h"

#include <SDL.h>

#include <algorithm>

namespace zindle {

namespace {

// SDL's blend of a non-premultiplied source over the target, as the vector blitter SDL 2.26
// picks on current x86 processors rounds it (each product truncated on its own; the target's
// alpha byte blended as if the source's were opaque), so that a picture drawn here matches
// one drawn by SDL bit for bit. A processor without those instructions gets another blitter
// whose rounding may differ by a step; the blend test compares the two on the machine at hand.
inline std::uint32_t blendPixel(std::uint32_t source, std::uint32_t target) {
    const std::uint32_t alpha = source >> 24;
    const std::uint32_t keep = 255 - alpha;
    const std::uint32_t opaque = source | 0xFF000000u;
    const std::uint32_t sourceRb = ((opaque & 0x00FF00FFu) * alpha >> 8) & 0x00FF00FFu;
    const std::uint32_t sourceAg = ((opaque >> 8 & 0x00FF00FFu) * alpha) & 0xFF00FF00u;
    const std::uint32_t targetRb = ((target & 0x00FF00FFu) * keep >> 8) & 0x00FF00FFu;
    const std::uint32_t targetAg = ((target >> 8 & 0x00FF00FFu) * keep) & 0xFF00FF00u;
    // No carries between channels: each sum is at most 254.
    return (sourceRb + targetRb) | (sourceAg + targetAg);
}

void blendRect(const SDL_Surface& atlas, int fromX, int fromY, int width, int height,
               std::uint32_t* picture, int pitch, int left, int top) {
    for (int y = 0; y < height; ++y) {
        const auto* source = reinterpret_cast<const std::uint32_t*>(
                                 static_cast<const std::uint8_t*>(atlas.pixels) +
                                 static_cast<std::ptrdiff_t>(fromY + y) * atlas.pitch) +
                             fromX;
        std::uint32_t* target = picture + static_cast<std::ptrdiff_t>(top + y) * pitch + left;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t s = source[x];
            const std::uint32_t alpha = s >> 24;
            if (alpha == 0)
                continue;
            target[x] = alpha == 255 ? s : blendPixel(s, target[x]);
        }
    }
}

struct Picture {
    std::uint32_t* pixels;
    int pitch; // in pixels
    int width;
    int height;
};

// Blends one placed tile; false when SDL would stretch it, which is left to SDL's own copies.
inline bool blendTile(const SDL_Surface& atlas, const DisplayTree::Tile& tile, float left,
                      float top, const Picture& picture) {
    // Dropped exactly as drawBatch drops it for SDL's copies.
    if (outsidePicture(left, top, tile.rect, {picture.width, picture.height}))
        return true;
    const auto w = static_cast<float>(tile.rect.width);
    const auto h = static_cast<float>(tile.rect.height);
    const SDL_Rect from{static_cast<int>(static_cast<float>(tile.rect.x)),
                        static_cast<int>(static_cast<float>(tile.rect.y)), static_cast<int>(w),
                        static_cast<int>(h)};
    if (from.w <= 0 || from.h <= 0)
        return true;
    if (from.x < 0 || from.y < 0 || from.x + from.w > atlas.w || from.y + from.h > atlas.h) {
        // SDL would stretch the part inside the atlas over the whole tile.
        const SDL_Rect whole{0, 0, atlas.w, atlas.h};
        return !SDL_HasIntersection(&from, &whole);
    }
    const int toX = static_cast<int>(left);
    const int toY = static_cast<int>(top);
    const int x0 = std::max(toX, 0);
    const int y0 = std::max(toY, 0);
    const int x1 = std::min(toX + from.w, picture.width);
    const int y1 = std::min(toY + from.h, picture.height);
    if (x0 < x1 && y0 < y1)
        blendRect(atlas, from.x + x0 - toX, from.y + y0 - toY, x1 - x0, y1 - y0, picture.pixels,
                  picture.pitch, x0, y0);
    return true;
}

bool isPlainXrgb(const SDL_PixelFormat& format) {
    return format.BytesPerPixel == 4 && format.Rmask == 0x00FF0000u &&
           format.Gmask == 0x0000FF00u && format.Bmask == 0x000000FFu;
}

} // namespace

bool SdlMedia::drawTreeOnProcessor() {
    SDL_Texture* const target = SDL_GetRenderTarget(renderer_.get());
    std::uint32_t* picture = nullptr;
    int pitch = 0;
    std::uint32_t clear = 0;
    const std::uint8_t red = (background_ >> 16) & 0xFF;
    const std::uint8_t green = (background_ >> 8) & 0xFF;
    const std::uint8_t blue = background_ & 0xFF;
    if (target == nullptr) {
        // The window's own surface, which the renderer draws into and presents: whatever it
        // still has queued goes first.
        SDL_RenderFlush(renderer_.get());
        SDL_Surface* surface = SDL_GetWindowSurface(window_.get());
        if (surface == nullptr || !isPlainXrgb(*surface->format) || SDL_MUSTLOCK(surface) ||
            surface->w != logicalWidth_ || surface->h != logicalHeight_)
            return false;
        picture = static_cast<std::uint32_t*>(surface->pixels);
        pitch = surface->pitch / 4;
        clear = SDL_MapRGBA(surface->format, red, green, blue, 255);
    } else if (target == target_.get()) {
        // A target texture's pixels are out of reach: the picture is made here and uploaded.
        canvas_.resize(static_cast<std::size_t>(logicalWidth_) *
                       static_cast<std::size_t>(logicalHeight_));
        picture = canvas_.data();
        pitch = logicalWidth_;
        clear = 0xFF000000u | (background_ & 0xFFFFFFu);
    } else {
        return false;
    }
    for (int y = 0; y < logicalHeight_; ++y)
        std::fill_n(picture + static_cast<std::ptrdiff_t>(y) * pitch, logicalWidth_, clear);
    bool drawn = true;
    tree_.forEachBatch(stageObject(stage_), [&](const DisplayTree::Batch& batch) {
        drawn = drawn && blendBatchOnProcessor(batch, picture, pitch);
    });
    if (!drawn)
        return false;
    if (target != nullptr)
        return SDL_UpdateTexture(target_.get(), nullptr, canvas_.data(), logicalWidth_ * 4) == 0;
    return true;
}

bool SdlMedia::blendBatchOnProcessor(const DisplayTree::Batch& batch, std::uint32_t* picture,
                                     int pitch) {
    auto found = bitmaps_.find(handleValue(batch.atlas));
    const auto tiles = tree_.sheetTiles(batch.sheet);
    if (found == bitmaps_.end() || !found->second.surface || tiles.empty())
        return true;
    const SDL_Surface& atlas = *found->second.surface;
    if (atlas.format->BytesPerPixel != 4 || SDL_MUSTLOCK(&atlas))
        return false;
    const Picture target{picture, pitch, logicalWidth_, logicalHeight_};
    for (const PlacedTile& placed : batch.placed)
        if (!blendTile(atlas, tiles[placed.id], placed.left, placed.top, target))
            return false;
    return true;
}

} // namespace zindle
