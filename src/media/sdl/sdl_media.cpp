// The SDL backend's set-up and the primitives that only store or forward: files, images, the
// display tree and sounds. Window, event loop and rendering live in their own files.
#include "media/sdl/sdl_media.h"

#include "media/sdl/sdl_audio.h"
#include "media/sdl/sdl_joysticks.h"

#include <SDL.h>
#include <SDL_image.h>

#include <array>
#include <fstream>

namespace zindle {

namespace {
constexpr std::size_t kReadChunk = 64 * 1024; // bytes read at a time

std::uint32_t raw(auto handle) {
    return static_cast<std::uint32_t>(handle);
}
} // namespace

void SdlDeleter::operator()(SDL_Window* window) const {
    SDL_DestroyWindow(window);
}
void SdlDeleter::operator()(SDL_Renderer* renderer) const {
    SDL_DestroyRenderer(renderer);
}
void SdlDeleter::operator()(SDL_Texture* texture) const {
    SDL_DestroyTexture(texture);
}
void SdlDeleter::operator()(SDL_Surface* surface) const {
    SDL_FreeSurface(surface);
}

SdlMedia& SdlMedia::install() {
    return static_cast<SdlMedia&>(media_install(std::make_unique<SdlMedia>()));
}

SdlMedia::SdlMedia()
    : clockStart_(SDL_GetPerformanceCounter()), joysticks_(std::make_unique<SdlJoysticks>()),
      audio_(std::make_unique<SdlAudio>()) {}

SdlMedia::~SdlMedia() {
    closeWindow();
    audio_->shutdown();
    bitmaps_.clear();
    IMG_Quit();
    SDL_Quit();
}

SdlAudio& SdlMedia::audio() {
    return *audio_;
}

void SdlMedia::setPackage(const std::string&, const std::string&, const std::string&,
                          const std::string&) {
    // Nothing to store: the game keeps no preferences or saves under the package's name.
}

double SdlMedia::timeStamp() {
    const std::uint64_t ticks = SDL_GetPerformanceCounter() - clockStart_;
    const std::uint64_t perSecond = SDL_GetPerformanceFrequency();
    // Whole seconds and the remainder apart, so that the fraction keeps its precision however
    // long the counter has been running.
    return static_cast<double>(ticks / perSecond) +
           static_cast<double>(ticks % perSecond) / static_cast<double>(perSecond);
}

void SdlMedia::close() {
    closeRequested_ = true;
}

void SdlMedia::showError(const std::string& caption, const std::string& text) {
    // Without a display this fails; the process entry has written the text to stderr already.
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption.c_str(), text.c_str(), nullptr);
}

// --- Files and images ----------------------------------------------------------------------------

std::optional<std::vector<std::uint8_t>> SdlMedia::byteArrayReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::vector<std::uint8_t> bytes;
    std::array<char, kReadChunk> chunk;
    // Read through the stream, not its buffer: a read error (a directory opens, but cannot be
    // read) then sets badbit rather than throwing, and is a failure, not an empty file.
    while (in.read(chunk.data(), chunk.size()) || in.gcount() > 0)
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + in.gcount());
    if (in.bad())
        return std::nullopt;
    return bytes;
}

BitmapHandle SdlMedia::bitmapDataLoad(const std::string& path, int) {
    const auto bytes = byteArrayReadFile(path);
    if (!bytes)
        return BitmapHandle::None;
    SdlPtr<SDL_Surface> surface = decodeImage(*bytes);
    if (!surface)
        return BitmapHandle::None;
    const auto id = nextBitmap_++;
    bitmaps_.emplace(id, Bitmap{std::move(surface), nullptr});
    return static_cast<BitmapHandle>(id);
}

int SdlMedia::bitmapWidth(BitmapHandle bitmap) {
    auto found = bitmaps_.find(raw(bitmap));
    return found == bitmaps_.end() ? 0 : found->second.surface->w;
}

int SdlMedia::bitmapHeight(BitmapHandle bitmap) {
    auto found = bitmaps_.find(raw(bitmap));
    return found == bitmaps_.end() ? 0 : found->second.surface->h;
}

// --- Display tree --------------------------------------------------------------------------------

SheetHandle SdlMedia::tilesheetCreate(BitmapHandle bitmap) {
    return tree_.createSheet(bitmap);
}

void SdlMedia::tilesheetAddRect(SheetHandle sheet, const MediaRect& rect,
                                const MediaPoint& centre) {
    tree_.addRect(sheet, rect, centre);
}

ObjectHandle SdlMedia::createDisplayObjectContainer() {
    return tree_.createContainer();
}

void SdlMedia::docAddChild(ObjectHandle parent, ObjectHandle child) {
    tree_.addChild(parent, child);
}

GraphicsHandle SdlMedia::displayObjectGetGraphics(ObjectHandle object) {
    return tree_.graphicsOf(object);
}

void SdlMedia::gfxClear(GraphicsHandle graphics) {
    tree_.clear(graphics);
}

void SdlMedia::gfxBeginBitmapFill(GraphicsHandle graphics, BitmapHandle bitmap, bool, bool smooth) {
    tree_.beginBitmapFill(graphics, bitmap, smooth);
}

void SdlMedia::gfxDrawTiles(GraphicsHandle graphics, SheetHandle sheet,
                            std::span<const double> data, int flags) {
    tree_.drawTiles(graphics, sheet, data, flags);
}

// --- Sound ---------------------------------------------------------------------------------------

SoundHandle SdlMedia::soundFromFile(const std::string& path, bool playAsMusic) {
    return audio().load(path, playAsMusic);
}

ChannelHandle SdlMedia::soundChannelCreate(SoundHandle sound, double, int loops,
                                           const MediaTransform* transform) {
    // Sounds always start from their beginning: the game starts nothing part-way through.
    return audio().play(sound, loops, transform);
}

void SdlMedia::soundChannelStop(ChannelHandle channel) {
    audio().stop(channel);
}

void SdlMedia::soundChannelSetTransform(ChannelHandle channel, const MediaTransform& transform) {
    audio().setTransform(channel, transform);
}

bool SdlMedia::soundChannelIsComplete(ChannelHandle channel) {
    return audio().isComplete(channel);
}

int SdlMedia::mixerChannelOf(ChannelHandle channel) const {
    return audio_->mixerChannelOf(channel);
}

} // namespace zindle
