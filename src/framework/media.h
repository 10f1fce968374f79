#pragma once
// The media layer: window, events, clock, images, tiles and sound, behind one small interface.
// The framework calls only the media_* primitives below. Exactly one backend is installed at a
// time: the desktop's process entry installs the SDL one, the web page's entry the browser's
// (media/web), and tests and tools the headless one.
// Handles are opaque numbers; 0 (None) is the null handle of every kind.

#include "framework/geom.h"
#include "framework/sound_transform.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zindle {

enum class WindowHandle : std::uint32_t { None = 0 };
enum class StageHandle : std::uint32_t { None = 0 };
enum class ObjectHandle : std::uint32_t { None = 0 };
enum class GraphicsHandle : std::uint32_t { None = 0 };
enum class BitmapHandle : std::uint32_t { None = 0 };
enum class SheetHandle : std::uint32_t { None = 0 };
enum class SoundHandle : std::uint32_t { None = 0 };
enum class ChannelHandle : std::uint32_t { None = 0 };

// The number behind a handle, for backends that keep their objects in maps.
template <class Handle> constexpr std::uint32_t handleValue(Handle handle) {
    return static_cast<std::uint32_t>(handle);
}

// A stage is also the root display object container; both handles share one number.
inline ObjectHandle stageObject(StageHandle stage) {
    return static_cast<ObjectHandle>(static_cast<std::uint32_t>(stage));
}

// Types of the native event record.
namespace MediaEventType {
constexpr int KEY_DOWN = 1;
constexpr int CHAR = 2;
constexpr int KEY_UP = 3;
constexpr int RESIZE = 8;
constexpr int POLL = 9;
constexpr int QUIT = 10;
constexpr int FOCUS = 11;
constexpr int REDRAW = 14;
constexpr int ACTIVATE = 20;
constexpr int DEACTIVATE = 21;
constexpr int JOY_AXIS = 24;
constexpr int JOY_BALL = 25;
constexpr int JOY_HAT = 26;
constexpr int JOY_BUTTON_DOWN = 27;
constexpr int JOY_BUTTON_UP = 28;
} // namespace MediaEventType

// One native event as the backend hands it to the stage. Each field means one thing; a field
// that does not apply to the event's type stays 0.
struct MediaEvent {
    int type = 0;   // a MediaEventType
    int code = 0;   // keys: the framework key code; joysticks: the axis, button, hat or ball
    int value = 0;  // keys: the character; axes: the raw value, -32768 to 32767
    int flags = 0;  // keys: the modifier and location bits (Stage::ef...)
    int target = 0; // keys: the number of the focused display object (the stage's own number)
    int device = 0; // joysticks: the small stable device number
    double x = 0;   // resize: the new width; balls: the motion
    double y = 0;   // resize: the new height; balls: the motion
    int result = 0; // written by the stage: 1 when a listener cancelled the event
};

// A record of the given type, as the backends' event loops build them.
inline MediaEvent mediaEvent(int type, int code = 0, int value = 0) {
    MediaEvent event;
    event.type = type;
    event.code = code;
    event.value = value;
    return event;
}

// Whether the window covers the screen. The numbers are the ones the stage's property uses.
enum class StageDisplayState { NORMAL = 0, FULL_SCREEN = 1, FULL_SCREEN_INTERACTIVE = 2 };
// How the stage's picture is placed in a window of another size.
enum class StageScaleMode {
    SHOW_ALL = 0,  // whole picture, aspect kept, bars where it does not fill
    NO_SCALE = 1,  // unscaled, centred
    NO_BORDER = 2, // fills the window, aspect kept, the overflow cut off
    EXACT_FIT = 3, // stretched to the window
};

using WindowReadyHandler = std::function<void(WindowHandle)>;
using StageEventHandler = std::function<void(MediaEvent&)>;

// What a backend implements: one virtual per primitive, under the primitive's own name. Callers
// use the free functions below, which forward to the installed backend; the comment there says
// when each is called.
class MediaBackend {
public:
    MediaBackend() = default;
    MediaBackend(const MediaBackend&) = delete;
    MediaBackend& operator=(const MediaBackend&) = delete;
    virtual ~MediaBackend() = default;

    virtual void media_set_package(const std::string& company, const std::string& file,
                                   const std::string& package, const std::string& version) = 0;
    virtual void media_create_main_frame(WindowReadyHandler onReady, int width, int height,
                                         unsigned flags, const std::string& title,
                                         BitmapHandle icon) = 0;
    virtual StageHandle media_get_frame_stage(WindowHandle window) = 0;
    virtual void media_set_stage_handler(StageHandle stage, StageEventHandler handler, int width,
                                         int height) = 0;
    virtual void media_stage_set_next_wake(StageHandle stage, double seconds) = 0;
    virtual void media_render_stage(StageHandle stage) = 0;
    virtual double media_time_stamp() = 0;
    virtual void media_stage_set_display_state(StageHandle stage, StageDisplayState state) = 0;
    virtual void media_stage_set_scale_mode(StageHandle stage, StageScaleMode mode) = 0;
    virtual void media_stage_show_cursor(StageHandle stage, bool show) = 0;
    virtual void media_display_object_set_bg(ObjectHandle object, std::uint32_t rgb) = 0;
    virtual void media_close() = 0;
    virtual void media_show_error(const std::string& caption, const std::string& text) = 0;
    virtual void media_set_clipboard_text(const std::string& text) = 0;
    virtual std::optional<std::string> media_get_clipboard_text() = 0;

    virtual BitmapHandle media_bitmap_data_load(const std::string& path, int flags) = 0;
    virtual int media_bitmap_data_width(BitmapHandle bitmap) = 0;
    virtual int media_bitmap_data_height(BitmapHandle bitmap) = 0;
    virtual std::optional<std::vector<std::uint8_t>>
    media_byte_array_read_file(const std::string& path) = 0;

    virtual SheetHandle media_tilesheet_create(BitmapHandle bitmap) = 0;
    virtual void media_tilesheet_add_rect(SheetHandle sheet, const Rectangle& rect,
                                          const Point& centre) = 0;

    virtual ObjectHandle media_create_display_object_container() = 0;
    virtual void media_doc_add_child(ObjectHandle parent, ObjectHandle child) = 0;
    virtual GraphicsHandle media_display_object_get_graphics(ObjectHandle object) = 0;
    virtual void media_gfx_clear(GraphicsHandle graphics) = 0;
    virtual void media_gfx_begin_bitmap_fill(GraphicsHandle graphics, BitmapHandle bitmap,
                                             bool repeat, bool smooth) = 0;
    virtual void media_gfx_draw_tiles(GraphicsHandle graphics, SheetHandle sheet,
                                      std::span<const double> data, int flags) = 0;

    virtual SoundHandle media_sound_from_file(const std::string& path, bool playAsMusic) = 0;
    virtual ChannelHandle media_sound_channel_create(SoundHandle sound, double startTime, int loops,
                                                     const SoundTransform* transform) = 0;
    virtual void media_sound_channel_stop(ChannelHandle channel) = 0;
    virtual void media_sound_channel_set_transform(ChannelHandle channel,
                                                   const SoundTransform& transform) = 0;
    virtual bool media_sound_channel_is_complete(ChannelHandle channel) = 0;
};

// Installs the active backend, replacing (and destroying) any earlier one; returns it.
MediaBackend& media_install(std::unique_ptr<MediaBackend> backend);
// The active backend. Throws std::logic_error when none is installed.
MediaBackend& media_backend();

// --- Application and window -----------------------------------------------------------------
// Stores who the application is. Called once at start-up, before the window is created.
inline void media_set_package(const std::string& company, const std::string& file,
                              const std::string& package, const std::string& version) {
    media_backend().media_set_package(company, file, package, version);
}
// Opens the one window and calls onReady once with its handle when it exists. The SDL backend then
// runs the event loop until media_close; the headless backend returns at once.
inline void media_create_main_frame(WindowReadyHandler onReady, int width, int height,
                                    unsigned flags, const std::string& title, BitmapHandle icon) {
    media_backend().media_create_main_frame(std::move(onReady), width, height, flags, title, icon);
}
// The stage of a window. Called once, from the window-ready handler.
inline StageHandle media_get_frame_stage(WindowHandle window) {
    return media_backend().media_get_frame_stage(window);
}
// Every native event of the stage reaches handler from now on. Called once, by the Stage.
inline void media_set_stage_handler(StageHandle stage, StageEventHandler handler, int width,
                                    int height) {
    media_backend().media_set_stage_handler(stage, std::move(handler), width, height);
}
// Asks for a poll event within seconds (0 or less: at once). Called after every handled event.
inline void media_stage_set_next_wake(StageHandle stage, double seconds) {
    media_backend().media_stage_set_next_wake(stage, seconds);
}
// Presents the display tree. Called once per rendered frame, after the frame's steps.
inline void media_render_stage(StageHandle stage) {
    media_backend().media_render_stage(stage);
}
// Seconds on a monotonic clock. Called whenever the framework reads the time.
inline double media_time_stamp() {
    return media_backend().media_time_stamp();
}
// Windowed or full screen. Called at start-up and on ALT+ENTER.
inline void media_stage_set_display_state(StageHandle stage, StageDisplayState state) {
    media_backend().media_stage_set_display_state(stage, state);
}
// How the picture fills the window (the game asks for EXACT_FIT). Called at start-up.
inline void media_stage_set_scale_mode(StageHandle stage, StageScaleMode mode) {
    media_backend().media_stage_set_scale_mode(stage, mode);
}
// Shows or hides the pointer over the window. Called at start-up.
inline void media_stage_show_cursor(StageHandle stage, bool show) {
    media_backend().media_stage_show_cursor(stage, show);
}
// The clear colour 0xRRGGBB. Called once, when the stage is made.
inline void media_display_object_set_bg(ObjectHandle object, std::uint32_t rgb) {
    media_backend().media_display_object_set_bg(object, rgb);
}
// Closes the window and ends the event loop. Called on quit, ALT+F4 and ESC on the title.
inline void media_close() {
    media_backend().media_close();
}
// Shows a fatal error to the player (a message box where a display exists). Called once, by
// the process entry, before it exits with a failure status.
inline void media_show_error(const std::string& caption, const std::string& text) {
    media_backend().media_show_error(caption, text);
}

// Puts text on the system's clipboard. Called when the player copies a room's link.
inline void media_set_clipboard_text(const std::string& text) {
    media_backend().media_set_clipboard_text(text);
}
// The clipboard's text; nullopt when it holds none or cannot be read. Called when the player
// joins a room from a link on the clipboard. The text is untrusted.
inline std::optional<std::string> media_get_clipboard_text() {
    return media_backend().media_get_clipboard_text();
}

// --- Files and images -------------------------------------------------------------------------
// Decodes an image file; None when it cannot be read or decoded. Called at start-up.
inline BitmapHandle media_bitmap_data_load(const std::string& path, int flags) {
    return media_backend().media_bitmap_data_load(path, flags);
}
// Size of a decoded image in pixels; 0 for None.
inline int media_bitmap_data_width(BitmapHandle bitmap) {
    return media_backend().media_bitmap_data_width(bitmap);
}
inline int media_bitmap_data_height(BitmapHandle bitmap) {
    return media_backend().media_bitmap_data_height(bitmap);
}
// The whole file; nullopt when it cannot be read. Called at start-up.
inline std::optional<std::vector<std::uint8_t>>
media_byte_array_read_file(const std::string& path) {
    return media_backend().media_byte_array_read_file(path);
}

// --- Tiles and drawing ------------------------------------------------------------------------
// A tile sheet over a bitmap. Called at start-up, once per atlas.
inline SheetHandle media_tilesheet_create(BitmapHandle bitmap) {
    return media_backend().media_tilesheet_create(bitmap);
}
// Adds the next tile: the n-th rectangle added has id n, from 0. Called while a tile list loads.
inline void media_tilesheet_add_rect(SheetHandle sheet, const Rectangle& rect,
                                     const Point& centre) {
    media_backend().media_tilesheet_add_rect(sheet, rect, centre);
}
// A new, empty display object container. Called when a Sprite or MovieClip is made.
inline ObjectHandle media_create_display_object_container() {
    return media_backend().media_create_display_object_container();
}
// Appends child to parent's children. Called by addChild.
inline void media_doc_add_child(ObjectHandle parent, ObjectHandle child) {
    media_backend().media_doc_add_child(parent, child);
}
// The drawing list of a display object. Called once per object, on first use.
inline GraphicsHandle media_display_object_get_graphics(ObjectHandle object) {
    return media_backend().media_display_object_get_graphics(object);
}
// Empties a drawing list. Called at the start of every frame's drawing.
inline void media_gfx_clear(GraphicsHandle graphics) {
    media_backend().media_gfx_clear(graphics);
}
// Sets the bitmap the next tiles are cut from. Called before every tile batch.
inline void media_gfx_begin_bitmap_fill(GraphicsHandle graphics, BitmapHandle bitmap, bool repeat,
                                        bool smooth) {
    media_backend().media_gfx_begin_bitmap_fill(graphics, bitmap, repeat, smooth);
}
// Appends a batch of (x, y, id) triples (flags 0) to a drawing list. Called once per tiler and
// frame.
inline void media_gfx_draw_tiles(GraphicsHandle graphics, SheetHandle sheet,
                                 std::span<const double> data, int flags) {
    media_backend().media_gfx_draw_tiles(graphics, sheet, data, flags);
}

// --- Sound ------------------------------------------------------------------------------------
// Loads a sound; music may be streamed. None when the file cannot be loaded. Called at start-up.
inline SoundHandle media_sound_from_file(const std::string& path, bool playAsMusic) {
    return media_backend().media_sound_from_file(path, playAsMusic);
}
// Starts a sound: loops is the number of repeats after the first play. Volume is clamped to
// [0, 1] and pan to [-1, 1] before the mixer sees them. None when it cannot play.
inline ChannelHandle media_sound_channel_create(SoundHandle sound, double startTime, int loops,
                                                const SoundTransform* transform) {
    return media_backend().media_sound_channel_create(sound, startTime, loops, transform);
}
// Silences a channel; it reports complete from then on.
inline void media_sound_channel_stop(ChannelHandle channel) {
    media_backend().media_sound_channel_stop(channel);
}
// Changes a playing channel's volume and pan (clamped as at creation).
inline void media_sound_channel_set_transform(ChannelHandle channel,
                                              const SoundTransform& transform) {
    media_backend().media_sound_channel_set_transform(channel, transform);
}
// True once the channel has ended or was stopped. Called on every poll for each live channel.
inline bool media_sound_channel_is_complete(ChannelHandle channel) {
    return media_backend().media_sound_channel_is_complete(channel);
}

} // namespace zindle
