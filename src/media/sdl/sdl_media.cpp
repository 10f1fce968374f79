// The SDL backend's set-up and the primitives that only store or forward: images and sounds.
// Window, event loop and rendering live in their own files.
#include "media/sdl/sdl_media.h"

#include "media/common/sound_start.h"
#include "media/sdl/sdl_audio.h"
#include "media/sdl/sdl_error_box.h"
#include "media/sdl/sdl_joysticks.h"

#include <SDL.h>

namespace zindle {

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
      audio_(std::make_unique<SdlAudio>()) {
    // Every path here draws whole pixels of the picture: tiles are placed once, when drawn, and
    // from the window's opening those outside the picture are not kept at all.
    tree_.keepPlacedTiles(std::nullopt);
}

SdlMedia::~SdlMedia() {
    closeWindow();
    audio_->shutdown();
    if (muted_)
        SDL_ResetHint(SDL_HINT_AUDIODRIVER); // back to what the environment chose
    bitmaps_.clear();
    SDL_Quit();
}

SdlAudio& SdlMedia::audio() {
    return *audio_;
}

void SdlMedia::media_set_package(const std::string&, const std::string&, const std::string&,
                                 const std::string&) {
    // Nothing to store: the game keeps no preferences or saves under the package's name.
}

double SdlMedia::media_time_stamp() {
    const std::uint64_t ticks = SDL_GetPerformanceCounter() - clockStart_;
    const std::uint64_t perSecond = SDL_GetPerformanceFrequency();
    // Whole seconds and the remainder apart, so that the fraction keeps its precision however
    // long the counter has been running.
    return static_cast<double>(ticks / perSecond) +
           static_cast<double>(ticks % perSecond) / static_cast<double>(perSecond);
}

void SdlMedia::mute() {
    // Overrides SDL_AUDIODRIVER from the environment too: muted means muted.
    SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
    muted_ = true;
}

void SdlMedia::media_close() {
    closeRequested_ = true;
}

void SdlMedia::media_show_error(const std::string& caption, const std::string& text) {
    // Without a display this fails; the process entry has written the text to stderr already.
    // The game shows its errors once the window has gone; with a window open, SDL's own box is
    // used, since a forked process must not talk over the window's display connection.
    if (videoStarted_)
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption.c_str(), text.c_str(), nullptr);
    else
        showErrorBox(caption, text);
}

void SdlMedia::media_set_clipboard_text(const std::string& text) {
    SDL_SetClipboardText(text.c_str());
}

std::optional<std::string> SdlMedia::media_get_clipboard_text() {
    if (!SDL_HasClipboardText())
        return std::nullopt;
    char* text = SDL_GetClipboardText();
    if (!text)
        return std::nullopt;
    std::string copy = text;
    SDL_free(text);
    return copy;
}

// --- Images --------------------------------------------------------------------------------------

int SdlMedia::media_bitmap_data_width(BitmapHandle bitmap) {
    auto found = bitmaps_.find(handleValue(bitmap));
    return found == bitmaps_.end() ? 0 : found->second.surface->w;
}

int SdlMedia::media_bitmap_data_height(BitmapHandle bitmap) {
    auto found = bitmaps_.find(handleValue(bitmap));
    return found == bitmaps_.end() ? 0 : found->second.surface->h;
}

// --- Sound ---------------------------------------------------------------------------------------

SoundHandle SdlMedia::media_sound_from_file(const std::string& path, bool playAsMusic) {
    return audio().load(path, playAsMusic);
}

ChannelHandle SdlMedia::media_sound_channel_create(SoundHandle sound, double startTime, int loops,
                                                   const SoundTransform* transform) {
    return audio().play(sound, loops, transform, startSeconds(startTime));
}

void SdlMedia::media_sound_channel_stop(ChannelHandle channel) {
    audio().stop(channel);
}

void SdlMedia::media_sound_channel_set_transform(ChannelHandle channel,
                                                 const SoundTransform& transform) {
    audio().setTransform(channel, transform);
}

bool SdlMedia::media_sound_channel_is_complete(ChannelHandle channel) {
    return audio().isComplete(channel);
}

int SdlMedia::mixerChannelOf(ChannelHandle channel) const {
    return audio_->mixerChannelOf(channel);
}

} // namespace zindle
