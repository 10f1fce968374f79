// The window, its renderer and the picture's logical size; display state, scale mode, cursor
// and background; the stage that belongs to the window.
#include "media/sdl/sdl_media.h"

#include "media/sdl/sdl_audio.h"
#include "media/sdl/sdl_controller_mappings.h"
#include "media/sdl/sdl_display_guard.h"
#include "media/sdl/sdl_joysticks.h"

#include <SDL.h>

#include <algorithm>
#include <iostream>
#include <stdexcept>
#include <string_view>

namespace zindle {

namespace {
// The one window's handle: there is never a second.
constexpr auto kWindow = static_cast<WindowHandle>(1);

// The largest whole multiple of width by height that fits the usable area (the screen less
// panels and docks) of the first display; 1 when even that does not fit or nothing is known.
// Whole multiples keep every pixel of the art the same size.
int largestFittingMultiple(int width, int height) {
    SDL_Rect usable{};
    if (width <= 0 || height <= 0 || SDL_GetDisplayUsableBounds(0, &usable) != 0)
        return 1;
    return std::max(1, std::min(usable.w / width, usable.h / height));
}
} // namespace

void SdlMedia::media_create_main_frame(WindowReadyHandler onReady, int width, int height, unsigned,
                                       const std::string& title, BitmapHandle icon) {
    if (window_)
        throw std::logic_error("The window is already open");
    // However the loop ends (a close, or an error on its way to the process entry), the window
    // goes first, so that a full-screen window cannot hide the error's message box.
    struct Closer {
        SdlMedia& media;
        ~Closer() {
            media.closeWindow();
            // The game is over once its window has gone: let go of the sound device too.
            media.audio_->shutdown();
        }
    } closer{*this};
    openWindow(width, height, title, icon);
    stage_ = tree_.createRoot();
    closeRequested_ = false;
    wakeAt_ = media_time_stamp();
    if (onReady)
        onReady(kWindow);
    runLoop();
}

void SdlMedia::openWindow(int width, int height, const std::string& title, BitmapHandle icon) {
    // Pixel art stays crisp: textures sample their nearest pixel unless a pass asks otherwise.
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
    // Pads keep steering while another window has the focus (and on the dummy video driver,
    // where no window ever has it).
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    surviveRefusedRequests();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_GAMECONTROLLER) != 0)
        throw std::runtime_error(std::string("Could not start the video: ") + SDL_GetError());
    videoStarted_ = true;
    guardDisplay();
    // Before the event loop opens the pads that are already plugged in, so they are mapped too.
    loadControllerMappings();

    const int scale = fitWindow_ ? largestFittingMultiple(width, height) : 1;
    window_.reset(SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                   width * scale, height * scale, SDL_WINDOW_SHOWN));
    if (!window_)
        throw std::runtime_error(std::string("Could not open the window: ") + SDL_GetError());
    createRenderer();
    appliedState_ = StageDisplayState::NORMAL;
    logicalWidth_ = width;
    logicalHeight_ = height;
    tree_.keepPlacedTiles(PictureBounds{width, height});
    target_.reset(SDL_CreateTexture(renderer_.get(), SDL_PIXELFORMAT_ARGB8888,
                                    SDL_TEXTUREACCESS_TARGET, width, height));
    if (!target_)
        throw std::runtime_error(std::string("Could not create the picture: ") + SDL_GetError());
    SDL_SetTextureScaleMode(target_.get(), SDL_ScaleModeNearest);

    if (auto found = bitmaps_.find(handleValue(icon)); found != bitmaps_.end())
        SDL_SetWindowIcon(window_.get(), found->second.surface.get());
    applyCursor();
}

void SdlMedia::createRenderer() {
    // No vsync: the stage paces the frames itself, and a present that blocks would throw its
    // clock off.
    const bool software = wantsSoftwareRenderer(window_.get());
    // SDL stops batching its draw calls when a renderer is named in the environment, in case the
    // program draws through the underlying API itself; this one never does, so a named renderer
    // keeps the batching (about a fifth of a busy frame). The environment still wins.
    SDL_SetHint(SDL_HINT_RENDER_BATCHING, "1");
    if (software) {
        // The software renderer's picture goes straight to the X server; left alone, SDL would
        // route it through an OpenGL texture and pay for the very rasteriser we are avoiding.
        // A setting from the environment still wins.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    } else {
        renderer_.reset(SDL_CreateRenderer(window_.get(), -1,
                                           SDL_RENDERER_ACCELERATED | SDL_RENDERER_TARGETTEXTURE));
    }
    if (!renderer_)
        renderer_.reset(SDL_CreateRenderer(window_.get(), -1,
                                           SDL_RENDERER_SOFTWARE | SDL_RENDERER_TARGETTEXTURE));
    if (!renderer_)
        throw std::runtime_error(std::string("Could not create a renderer: ") + SDL_GetError());
    SDL_RendererInfo info;
    softwareRenderer_ =
        SDL_GetRendererInfo(renderer_.get(), &info) == 0 && (info.flags & SDL_RENDERER_SOFTWARE);
}

void SdlMedia::closeWindow() {
    // Textures belong to the renderer: they go first.
    for (auto& [id, bitmap] : bitmaps_)
        bitmap.texture.reset();
    target_.reset();
    sharp_.reset();
    sharpFactor_ = 0;
    stretched_.reset();
    stretchedWidth_ = stretchedHeight_ = 0;
    renderer_.reset();
    window_.reset();
    presented_ = false;
    held_ = HeldInputs{};
    joysticks_->closeAll();
    if (videoStarted_) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_GAMECONTROLLER);
        videoStarted_ = false;
    }
}

void SdlMedia::loadControllerMappings() {
    if (mappingFile_.empty())
        return;
    // Only a file that is not there at all passes without a word: one that cannot be read (a
    // symbolic link loop, no permission, a folder) is named by the reader. Either way SDL's own
    // mappings and SDL_GAMECONTROLLERCONFIG still apply.
    const auto bytes = media_byte_array_read_file(mappingFile_);
    if (!bytes)
        return;
    const std::string complaint = addControllerMappings(
        std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()),
        mappingFile_);
    if (!complaint.empty())
        std::cout << complaint << std::endl;
}

StageHandle SdlMedia::media_get_frame_stage(WindowHandle window) {
    return window == kWindow && window_ ? stage_ : StageHandle::None;
}

void SdlMedia::media_set_stage_handler(StageHandle stage, StageEventHandler handler, int, int) {
    if (stage != StageHandle::None && stage == stage_)
        handler_ = std::move(handler);
}

void SdlMedia::media_stage_set_display_state(StageHandle stage, StageDisplayState state) {
    // Only noted: the next present carries it out, so that a burst of requests (a held or
    // repeated ALT+ENTER) costs at most one switch a frame, to the latest state asked for.
    if (stage == stage_)
        displayState_ = state;
}

void SdlMedia::applyDisplayState() {
    // Until the first picture is up the request only waits: SDL blocks for up to 100 ms while
    // the window manager (if there is one) resizes a mapped window, and that wait would come
    // before the player sees anything.
    if (!window_ || !presented_ || appliedState_ == displayState_)
        return;
    appliedState_ = displayState_;
    ++displayStateChanges_;
    const bool fullScreen = displayState_ != StageDisplayState::NORMAL;
    // Without a window manager SDL would wait in vain for one to answer, on every switch.
    if (placeWindowWithoutManager(fullScreen))
        return;
    // Desktop full screen: no mode switch, and the picture is stretched to the desktop.
    SDL_SetWindowFullscreen(window_.get(), fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
}

void SdlMedia::media_stage_set_scale_mode(StageHandle stage, StageScaleMode mode) {
    if (stage == stage_)
        scaleMode_ = mode;
}

void SdlMedia::media_stage_show_cursor(StageHandle stage, bool show) {
    if (stage != stage_)
        return;
    cursorShown_ = show;
    applyCursor();
}

void SdlMedia::applyCursor() {
    if (window_)
        SDL_ShowCursor(cursorShown_ ? SDL_ENABLE : SDL_DISABLE);
}

void SdlMedia::media_display_object_set_bg(ObjectHandle object, std::uint32_t rgb) {
    // Only the stage's background is drawn: it is the clear colour of the picture.
    if (object == stageObject(stage_) || stage_ == StageHandle::None)
        background_ = rgb & 0xFFFFFF;
}

} // namespace zindle
