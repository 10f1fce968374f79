#pragma once
// The media layer on SDL2 and SDL2_mixer (images through our own PNG decoder): what the real
// game runs on.
// One window with its renderer, an event loop that paces itself by the wake the stage asks for,
// joysticks numbered by a small stable device number, and sounds on the mixer's channels.
// The display tree (containers, drawing lists, tile sheets) is the shared one; a render walks it
// from the stage root into a texture of the logical size, which is then stretched sharply to the
// window (or straight into a window of that size).
#include "framework/media.h"
#include "media/common/display_tree_backend.h"
#include "media/common/held_inputs.h"
#include "media/common/picture_scaling.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;
struct SDL_Surface;
struct SDL_Vertex;
union SDL_Event;

namespace zindle {

class SdlAudio;
class SdlJoysticks;
struct DecodedImage;

// Whether SDL's own software renderer should draw into this window: true when the environment
// names no renderer and the X server offers no direct rendering (DRI2, DRI3 or NVIDIA's GLX),
// as in a virtual display, where OpenGL would be a software rasteriser that costs far more than
// SDL's blitter, at start-up and on every frame. Elsewhere SDL's accelerated renderer is used.
bool wantsSoftwareRenderer(SDL_Window* window);

// Frees SDL objects; lets the header name them without including SDL.
struct SdlDeleter {
    void operator()(SDL_Window* window) const;
    void operator()(SDL_Renderer* renderer) const;
    void operator()(SDL_Texture* texture) const;
    void operator()(SDL_Surface* surface) const;
};
template <class T> using SdlPtr = std::unique_ptr<T, SdlDeleter>;

class SdlMedia : public DisplayTreeBackend {
public:
    // Installs a fresh SDL backend (replacing any earlier one) and returns it.
    static SdlMedia& install();

    SdlMedia();
    ~SdlMedia() override;

    // --- Set by the process entry before the window opens --------------------------------------
    // Silence: sounds go to SDL's dummy audio driver, which consumes them in real time, so they
    // still load and their channels still end as they would on a sound card.
    void mute();
    // The window opens at the largest whole multiple of the picture's size that fits the
    // screen's usable area, instead of at the picture's own size.
    void fitWindowToScreen() { fitWindow_ = true; }
    // A file of pad mappings in SDL's format, added to SDL's own when the window opens; a file
    // that does not exist is no error.
    void useControllerMappings(std::string path) { mappingFile_ = std::move(path); }

    // --- For tests -----------------------------------------------------------------------------
    // The stage's picture as a render draws it, at the logical size, row by row, as 0xAARRGGBB;
    // empty when no window is open.
    std::vector<std::uint32_t> readPixels();
    // The window's picture as a render places it, and the window's size in pixels.
    std::vector<std::uint32_t> readWindowPixels(int& width, int& height);
    // On SDL's software renderer, whether the tiles are blended here (the default) or drawn
    // through SDL's own copies, which give the same pixels at several times the cost.
    void blendTilesOnProcessor(bool on) { blendOnProcessor_ = on; }
    // Hands every SDL event already queued to the stage handler, without waiting.
    void processPendingEvents();
    bool windowOpen() const { return window_ != nullptr; }
    SDL_Window* sdlWindow() const { return window_.get(); }
    // The mixer channel a sound channel plays on: -1 for music, -2 when unknown or ended.
    int mixerChannelOf(ChannelHandle channel) const;
    // How many times the display state has been switched since the backend was made.
    int displayStateChanges() const { return displayStateChanges_; }
    // The wake the loop is waiting for, in seconds of media_time_stamp().
    double nextWakeAt() const { return wakeAt_; }

    // --- For measurements ----------------------------------------------------------------------
    // Called after every present with its time stamp (seconds of media_time_stamp()); none by
    // default.
    void setPresentObserver(std::function<void(double)> observer) {
        presentObserver_ = std::move(observer);
    }

    // --- MediaBackend --------------------------------------------------------------------------
    void media_set_package(const std::string& company, const std::string& file,
                           const std::string& package, const std::string& version) override;
    void media_create_main_frame(WindowReadyHandler onReady, int width, int height, unsigned flags,
                                 const std::string& title, BitmapHandle icon) override;
    StageHandle media_get_frame_stage(WindowHandle window) override;
    void media_set_stage_handler(StageHandle stage, StageEventHandler handler, int width,
                                 int height) override;
    void media_stage_set_next_wake(StageHandle stage, double seconds) override;
    void media_render_stage(StageHandle stage) override;
    double media_time_stamp() override;
    void media_stage_set_display_state(StageHandle stage, StageDisplayState state) override;
    void media_stage_set_scale_mode(StageHandle stage, StageScaleMode mode) override;
    void media_stage_show_cursor(StageHandle stage, bool show) override;
    void media_display_object_set_bg(ObjectHandle object, std::uint32_t rgb) override;
    void media_close() override;
    void media_show_error(const std::string& caption, const std::string& text) override;
    void media_set_clipboard_text(const std::string& text) override;
    std::optional<std::string> media_get_clipboard_text() override;

    BitmapHandle media_bitmap_data_load(const std::string& path, int flags) override;
    int media_bitmap_data_width(BitmapHandle bitmap) override;
    int media_bitmap_data_height(BitmapHandle bitmap) override;

    SoundHandle media_sound_from_file(const std::string& path, bool playAsMusic) override;
    ChannelHandle media_sound_channel_create(SoundHandle sound, double startTime, int loops,
                                             const SoundTransform* transform) override;
    void media_sound_channel_stop(ChannelHandle channel) override;
    void media_sound_channel_set_transform(ChannelHandle channel,
                                           const SoundTransform& transform) override;
    bool media_sound_channel_is_complete(ChannelHandle channel) override;

private:
    struct Bitmap {
        SdlPtr<SDL_Surface> surface; // ARGB8888
        SdlPtr<SDL_Texture> texture; // made on first draw, for the current renderer
    };

    // Window and display (sdl_window.cpp)
    void openWindow(int width, int height, const std::string& title, BitmapHandle icon);
    void createRenderer();
    void closeWindow();
    // Carries out the latest display state asked for, once per present at most.
    void applyDisplayState();
    // Without a window manager, makes the window cover the screen or gives it back its own
    // place, as a manager would, without SDL's wait for a manager's answer; false where a
    // manager runs (or the display is not X11) and SDL should ask it (sdl_bare_x11.cpp).
    bool placeWindowWithoutManager(bool fullScreen);
    // Without a window manager, brings a window made larger than the largest picture drawn
    // (capDrawnSize) back to that size, so that SDL's own buffers stay bounded too.
    void boundWindowWithoutManager();
    void applyCursor();
    void loadControllerMappings();

    // Event loop (sdl_event_loop.cpp)
    void runLoop();
    void waitForWake();
    void dispatch(const SDL_Event& event);
    void deliver(MediaEvent record);

    // Rendering (sdl_render.cpp)
    SDL_Texture* textureOf(BitmapHandle bitmap);
    void drawBatch(const DisplayTree::Batch& batch);
    void drawTree(); // the stage's picture into the current render target
    // The same on SDL's software renderer, blending the tiles here (sdl_processor_blend.cpp);
    // false, having drawn nothing SDL would not redraw, when a case needs SDL's own path.
    bool drawTreeOnProcessor();
    bool blendBatchOnProcessor(const DisplayTree::Batch& batch, std::uint32_t* picture, int pitch);
    void drawWindow(); // the picture placed in the window's back buffer
    // The picture enlarged a whole number of times, made again when the factor changes; null
    // when the renderer cannot make it (the picture is then filtered in one pass).
    SDL_Texture* sharpTexture(int factor);
    // Stretches the picture (the current render target) into stretched_ on the processor;
    // false when a step failed and the renderer should stretch it instead.
    bool stretchOnProcessor(int width, int height);

    SdlAudio& audio();
    // Images (sdl_image.cpp): null when SDL has no memory for the surface.
    static SdlPtr<SDL_Surface> surfaceFromImage(const DecodedImage& image);

    std::vector<SDL_Vertex> vertices_; // one batch's corners, reused (sdl_render.cpp)
    std::vector<int> indices_;
    std::unordered_map<std::uint32_t, Bitmap> bitmaps_;
    std::uint32_t nextBitmap_ = 1;

    SdlPtr<SDL_Window> window_;
    SdlPtr<SDL_Renderer> renderer_;
    SdlPtr<SDL_Texture> target_; // the picture at its logical size
    SdlPtr<SDL_Texture> sharp_;  // the picture enlarged sharpFactor_ times, before filtering
    int sharpFactor_ = 0;
    struct {
        int x = 0, y = 0, w = 0, h = 0;
    } windowedPlace_;               // the window's place before full screen
    bool placedFullScreen_ = false; // sized to the screen here, without a window manager
    bool softwareRenderer_ = false; // SDL's own: its filtering is slow, the processor stretches
    SdlPtr<SDL_Texture> stretched_; // the picture at its placed size, stretched on the processor
    int stretchedWidth_ = 0, stretchedHeight_ = 0;
    std::vector<std::uint32_t> picturePixels_; // the picture read back for that stretch
    std::vector<std::uint32_t> canvas_;        // the picture blended here, for the picture texture
    bool blendOnProcessor_ = true;
    SharpStretcher stretcher_;
    bool videoStarted_ = false;
    bool presented_ = false; // the window has shown its first picture
    int logicalWidth_ = 0;
    int logicalHeight_ = 0;
    StageHandle stage_ = StageHandle::None;
    StageEventHandler handler_;
    HeldInputs held_; // what the stage was told is held, let go when the focus goes
    std::uint32_t background_ = 0xFFFFFF;
    StageDisplayState displayState_ = StageDisplayState::NORMAL; // asked for
    StageDisplayState appliedState_ = StageDisplayState::NORMAL; // carried out
    int displayStateChanges_ = 0;
    StageScaleMode scaleMode_ = StageScaleMode::EXACT_FIT;
    bool cursorShown_ = true;
    bool fitWindow_ = false;
    bool muted_ = false;
    std::string mappingFile_;

    bool closeRequested_ = false;
    double wakeAt_ = 0;         // seconds of media_time_stamp() at which the stage wants its poll
    bool wakeForFrame_ = false; // the wake is when a frame is due: slept precisely
    std::uint64_t clockStart_ = 0;

    std::function<void(double)> presentObserver_;
    std::unique_ptr<SdlJoysticks> joysticks_;
    std::unique_ptr<SdlAudio> audio_;
};

} // namespace zindle
