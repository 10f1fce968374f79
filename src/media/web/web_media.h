#pragma once
// The media layer in a web page, through Emscripten: WebGL draws the display tree, Web Audio
// plays the sounds, and the page's keyboard, Gamepad and animation-frame callbacks become the
// stage's native records. The page's script (page/*.js) owns the canvas, the audio
// graph and the browser's events; this side keeps the display tree, the clock and the pacing,
// and talks to the page through the few calls in web_host.h.
#include "framework/media.h"
#include "input/pad_layout.h"
#include "media/common/display_tree_backend.h"
#include "media/common/mix_policy.h"
#include "media/web/frame_pacer.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace zindle {

class WebMedia : public DisplayTreeBackend {
public:
    // Installs a fresh web backend (replacing any earlier one) and returns it.
    static WebMedia& install();
    WebMedia();

    // What reports an error that escapes a callback of the page (the process entry's report).
    void setFatalHandler(std::function<void(const std::string&)> handler) {
        fatal_ = std::move(handler);
    }

    // --- Called by the page ---------------------------------------------------------------------
    // One display refresh, interval seconds after the previous one: polls the stage when its
    // wake is due, which renders the frame when the frame is due.
    void animationFrame(double interval);
    // A key press or release: framework key code, character, modifier flags (Stage::ef*).
    void key(bool down, int code, int character, int flags);
    // A joystick record (MediaEventType::JOY_*) for the device number the page gave the pad:
    // a pad without the standard mapping, read raw.
    void joystick(int type, int device, int code, int value);
    // A part of a pad with the browser's standard mapping (its button or axis number there)
    // moved: a button's value is 1 or 0, an axis's -32768 to 32767. The standard layout's rules
    // (input/pad_layout.h) make the game's records of it.
    void standardPad(int device, bool isAxis, int index, int value);
    // The page became visible (true) or hidden (false).
    void setActive(bool active);
    // Runs body; an error escaping it is fatal: reported once, and the page stops calling in.
    void guard(const std::function<void()>& body);
    bool running() const { return stage_ != StageHandle::None && !closed_ && !failed_; }

    // --- For measurements ----------------------------------------------------------------------
    // Holds the clock at 0 until fastForward: the start and the first records then happen at the
    // same moments as in a headless run.
    void holdClock() { heldClock_ = 0; }
    // Plays frames at exactly 60 a second of the held clock, as a headless run does, without
    // drawing them, until it reads seconds or done() says so; then lets the clock run on from
    // there in real time. beforeFrame runs before each of those frames.
    void fastForward(double seconds, const std::function<bool()>& done,
                     const std::function<void()>& beforeFrame);

    // --- MediaBackend ---------------------------------------------------------------------------
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
    // A page may read the clipboard only inside a paste the player makes: none here.
    std::optional<std::string> media_get_clipboard_text() override { return std::nullopt; }

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
    struct Size {
        int width;
        int height;
    };
    void deliver(MediaEvent record);
    void appendBatch(const DisplayTree::Batch& batch);

    FramePacer pacer_;
    double clockStart_;
    std::optional<double> heldClock_; // set while the clock is held (measurements)
    bool drawing_ = true;
    StageHandle stage_ = StageHandle::None;
    StageEventHandler handler_;
    int logicalWidth_ = 0;
    int logicalHeight_ = 0;
    std::uint32_t background_ = 0xFFFFFF;
    bool closed_ = false;
    bool failed_ = false;
    bool rendered_ = false; // the stage rendered during the current refresh
    std::function<void(const std::string&)> fatal_;

    std::unordered_map<std::uint32_t, Size> bitmaps_; // the pixels live in the page's textures
    std::uint32_t nextBitmap_ = 1;
    std::uint32_t nextSound_ = 1;
    std::uint32_t nextChannel_ = 1;
    // Effects follow the same voice rules as on the desktop; the page's audio graph keeps the
    // headroom and the limiter. A start that joined a running voice gets a handle of its own,
    // which ends with that voice.
    struct Joined {
        std::uint32_t voice;
        bool stopped = false;
    };
    std::unordered_map<std::uint32_t, std::string> families_; // effects by sound handle
    std::unordered_map<std::uint32_t, double> voicePans_;     // pan of each effect voice
    std::unordered_map<std::uint32_t, Joined> joined_;        // by channel handle
    VoicePolicy policy_;
    std::unordered_map<int, pad_layout::StandardPad> pads_; // by device number

    // A frame as the page draws it, reused between frames: per tile, six 16-bit numbers (left,
    // top, width, height, atlas x, atlas y); per run of tiles over one atlas, three 32-bit
    // numbers (atlas, first tile, tile count).
    std::vector<std::int16_t> tiles_;
    std::vector<std::uint32_t> runs_;
};

} // namespace zindle
