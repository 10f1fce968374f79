// Presenting the display tree: every tile batch of every drawing list, walked from the stage
// root, becomes one SDL_RenderGeometry call over its atlas (on SDL's software renderer the tiles
// are blended on the processor instead, see sdl_processor_blend.cpp), drawn into a texture of the
// logical size; that picture is then placed in the window by the scale mode, enlarged sharply:
// a whole number of times without filtering, then smoothly for the remaining fraction. A window of
// the logical size is drawn into directly.
#include "media/sdl/sdl_media.h"

#include "media/common/picture_scaling.h"

#include <SDL.h>

#include <algorithm>
#include <vector>

namespace zindle {

namespace {
constexpr int kVerticesPerTile = 4;
constexpr int kIndicesPerTile = 6;
} // namespace

SDL_Texture* SdlMedia::textureOf(BitmapHandle handle) {
    auto found = bitmaps_.find(handleValue(handle));
    if (found == bitmaps_.end() || !renderer_)
        return nullptr;
    Bitmap& bitmap = found->second;
    if (!bitmap.texture) {
        bitmap.texture.reset(SDL_CreateTextureFromSurface(renderer_.get(), bitmap.surface.get()));
        if (!bitmap.texture)
            return nullptr;
        SDL_SetTextureBlendMode(bitmap.texture.get(), SDL_BLENDMODE_BLEND);
        SDL_SetTextureScaleMode(bitmap.texture.get(), SDL_ScaleModeNearest);
    }
    return bitmap.texture.get();
}

void SdlMedia::drawBatch(const DisplayTree::Batch& batch) {
    SDL_Texture* texture = textureOf(batch.atlas);
    const auto tiles = tree_.sheetTiles(batch.sheet);
    if (texture == nullptr || tiles.empty())
        return;
    int atlasW = 0;
    int atlasH = 0;
    SDL_QueryTexture(texture, nullptr, nullptr, &atlasW, &atlasH);
    const float u = 1.0f / static_cast<float>(atlasW);
    const float v = 1.0f / static_cast<float>(atlasH);
    const SDL_Color white{255, 255, 255, 255};
    // Batches are always drawn into a target of the picture's size (the picture texture, or a
    // window of that size).
    const PictureBounds picture{logicalWidth_, logicalHeight_};

    // Kept between batches and frames: their capacity is reused, so that a frame allocates
    // nothing here once the busiest frame so far has been drawn.
    std::vector<SDL_Vertex>& vertices = vertices_;
    std::vector<int>& indices = indices_;
    vertices.clear();
    indices.clear();
    vertices.reserve(batch.placed.size() * kVerticesPerTile);
    indices.reserve(batch.placed.size() * kIndicesPerTile);
    for (const PlacedTile& placed : batch.placed) {
        const auto& tile = tiles[placed.id];
        // Tiles drawn before the window opened were kept wherever they lay.
        if (outsidePicture(placed.left, placed.top, tile.rect, picture))
            continue;
        const float left = placed.left;
        const float top = placed.top;
        const auto w = static_cast<float>(tile.rect.width);
        const auto h = static_cast<float>(tile.rect.height);
        const auto tx = static_cast<float>(tile.rect.x);
        const auto ty = static_cast<float>(tile.rect.y);
        if (softwareRenderer_) {
            // SDL's software renderer turns each quad of a geometry call back into a copy of its
            // rectangle; asking for the copy directly skips building and matching the vertices,
            // and gives the same pixels.
            const SDL_Rect from{static_cast<int>(tx), static_cast<int>(ty), static_cast<int>(w),
                                static_cast<int>(h)};
            const SDL_Rect to{static_cast<int>(left), static_cast<int>(top), from.w, from.h};
            SDL_RenderCopy(renderer_.get(), texture, &from, &to);
            continue;
        }
        const int base = static_cast<int>(vertices.size());
        vertices.push_back({{left, top}, white, {tx * u, ty * v}});
        vertices.push_back({{left + w, top}, white, {(tx + w) * u, ty * v}});
        vertices.push_back({{left + w, top + h}, white, {(tx + w) * u, (ty + h) * v}});
        vertices.push_back({{left, top + h}, white, {tx * u, (ty + h) * v}});
        for (int corner : {0, 1, 2, 0, 2, 3})
            indices.push_back(base + corner);
    }
    if (vertices.empty())
        return;
    SDL_RenderGeometry(renderer_.get(), texture, vertices.data(), static_cast<int>(vertices.size()),
                       indices.data(), static_cast<int>(indices.size()));
}

void SdlMedia::media_render_stage(StageHandle stage) {
    if (!renderer_ || stage != stage_)
        return;
    drawWindow();
    SDL_RenderPresent(renderer_.get());
    if (presentObserver_)
        presentObserver_(media_time_stamp());
    // Display-state requests made since the last present (see applyDisplayState).
    presented_ = true;
    applyDisplayState();
}

void SdlMedia::drawTree() {
    if (softwareRenderer_ && blendOnProcessor_ && drawTreeOnProcessor())
        return;
    SDL_SetRenderDrawColor(renderer_.get(), (background_ >> 16) & 0xFF, (background_ >> 8) & 0xFF,
                           background_ & 0xFF, 255);
    SDL_RenderClear(renderer_.get());
    tree_.forEachBatch(stageObject(stage_),
                       [this](const DisplayTree::Batch& batch) { drawBatch(batch); });
}

void SdlMedia::drawWindow() {
    int windowW = 0;
    int windowH = 0;
    SDL_GetRendererOutputSize(renderer_.get(), &windowW, &windowH);
    const PicturePlacement place =
        placePicture(scaleMode_, logicalWidth_, logicalHeight_, windowW, windowH);
    const bool covers = place.x <= 0 && place.y <= 0 && place.x + place.width >= windowW &&
                        place.y + place.height >= windowH;
    if (covers && place.width == logicalWidth_ && place.height == logicalHeight_) {
        // The window is the picture's size (the usual window, or full screen on a screen of
        // that size): drawn straight into it, without a pass through the picture texture.
        SDL_SetRenderTarget(renderer_.get(), nullptr);
        drawTree();
        return;
    }
    SDL_SetRenderTarget(renderer_.get(), target_.get());
    drawTree();
    const SDL_Rect rect{place.x, place.y, place.width, place.height};
    // The buffers below are of the drawn size, which stays bounded however large the window;
    // beyond it the renderer enlarges the bounded picture to the placed size.
    const PictureSize drawn = capDrawnSize(place.width, place.height);
    if (softwareRenderer_ && stretchOnProcessor(drawn.width, drawn.height)) {
        SDL_SetRenderTarget(renderer_.get(), nullptr);
        if (!covers) {
            SDL_SetRenderDrawColor(renderer_.get(), 0, 0, 0, 255);
            SDL_RenderClear(renderer_.get());
        }
        SDL_RenderCopy(renderer_.get(), stretched_.get(), nullptr, &rect);
        return;
    }
    SDL_Texture* picture = target_.get();
    SharpScale scale = sharpScale(logicalWidth_, logicalHeight_, place.width, place.height);
    scale.factor = std::min(
        scale.factor, sharpScale(logicalWidth_, logicalHeight_, drawn.width, drawn.height).factor);
    SDL_SetTextureScaleMode(target_.get(), scale.smooth && scale.factor == 1
                                               ? SDL_ScaleModeLinear
                                               : SDL_ScaleModeNearest);
    if (scale.smooth && scale.factor > 1) {
        // The whole-number part first, so that the filter only blends the pixels' edges.
        SDL_Texture* sharp = sharpTexture(scale.factor);
        if (sharp != nullptr) {
            SDL_SetRenderTarget(renderer_.get(), sharp);
            SDL_RenderCopy(renderer_.get(), target_.get(), nullptr, nullptr);
            picture = sharp;
        }
    }
    SDL_SetRenderTarget(renderer_.get(), nullptr);
    if (!covers) {
        // Borders only where the picture leaves some; at full-screen sizes a clear is a
        // noticeable share of the frame.
        SDL_SetRenderDrawColor(renderer_.get(), 0, 0, 0, 255);
        SDL_RenderClear(renderer_.get());
    }
    SDL_RenderCopy(renderer_.get(), picture, nullptr, &rect);
}

bool SdlMedia::stretchOnProcessor(int width, int height) {
    // SDL's software renderer filters at several times the cost of the whole frame: the
    // enlargement is done here instead, from the picture read back, into a streaming texture
    // of the placed size that is then copied one to one.
    const std::size_t count =
        static_cast<std::size_t>(logicalWidth_) * static_cast<std::size_t>(logicalHeight_);
    picturePixels_.resize(count);
    if (SDL_RenderReadPixels(renderer_.get(), nullptr, SDL_PIXELFORMAT_ARGB8888,
                             picturePixels_.data(), logicalWidth_ * 4) != 0)
        return false;
    // A software renderer's streaming texture keeps its pixels between locks, so rows whose
    // source did not change are left as they are.
    bool holdsLast = true;
    if (!stretched_ || stretchedWidth_ != width || stretchedHeight_ != height) {
        holdsLast = false;
        stretched_.reset(SDL_CreateTexture(renderer_.get(), SDL_PIXELFORMAT_ARGB8888,
                                           SDL_TEXTUREACCESS_STREAMING, width, height));
        stretchedWidth_ = stretched_ ? width : 0;
        stretchedHeight_ = stretched_ ? height : 0;
        if (!stretched_)
            return false;
        SDL_SetTextureBlendMode(stretched_.get(), SDL_BLENDMODE_NONE);
    }
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(stretched_.get(), nullptr, &pixels, &pitch) != 0)
        return false;
    stretcher_.stretch(picturePixels_.data(), logicalWidth_, logicalHeight_,
                       static_cast<std::uint32_t*>(pixels), width, height, pitch / 4, holdsLast);
    SDL_UnlockTexture(stretched_.get());
    return true;
}

SDL_Texture* SdlMedia::sharpTexture(int factor) {
    if (!sharp_ || sharpFactor_ != factor) {
        sharp_.reset(SDL_CreateTexture(renderer_.get(), SDL_PIXELFORMAT_ARGB8888,
                                       SDL_TEXTUREACCESS_TARGET, logicalWidth_ * factor,
                                       logicalHeight_ * factor));
        sharpFactor_ = sharp_ ? factor : 0;
        if (sharp_)
            SDL_SetTextureScaleMode(sharp_.get(), SDL_ScaleModeLinear);
    }
    return sharp_.get();
}

std::vector<std::uint32_t> SdlMedia::readWindowPixels(int& width, int& height) {
    width = 0;
    height = 0;
    if (!renderer_)
        return {};
    // Drawn again rather than read after the present, when the back buffer of an accelerated
    // renderer holds nothing defined.
    drawWindow();
    SDL_GetRendererOutputSize(renderer_.get(), &width, &height);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) *
                                      static_cast<std::size_t>(height));
    if (SDL_RenderReadPixels(renderer_.get(), nullptr, SDL_PIXELFORMAT_ARGB8888, pixels.data(),
                             width * 4) != 0)
        return {};
    return pixels;
}

std::vector<std::uint32_t> SdlMedia::readPixels() {
    if (!renderer_)
        return {};
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(logicalWidth_) *
                                      static_cast<std::size_t>(logicalHeight_));
    // The picture texture is skipped when the window has the picture's size, so the picture
    // is drawn into it afresh here.
    SDL_SetRenderTarget(renderer_.get(), target_.get());
    drawTree();
    const int ok = SDL_RenderReadPixels(renderer_.get(), nullptr, SDL_PIXELFORMAT_ARGB8888,
                                        pixels.data(), logicalWidth_ * 4);
    SDL_SetRenderTarget(renderer_.get(), nullptr);
    if (ok != 0)
        return {};
    return pixels;
}

} // namespace zindle
