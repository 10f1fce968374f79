#pragma once
// The media layer in memory, for tests and tools: a clock that moves only when told, native
// events queued by the caller, every rendered frame and every started sound recorded.
// Images are decoded for real (PNG), so atlas sizes and screenshots are true.
#include "framework/media.h"
#include "media/common/display_tree_backend.h"

#include <deque>
#include <map>
#include <string>
#include <vector>

namespace zindle {

class HeadlessMedia : public DisplayTreeBackend {
public:
    // One tile as a render presented it: which atlas, which rectangle, where its centre landed.
    struct DrawnTile {
        BitmapHandle atlas;
        Rectangle rect;
        Point centre; // the tile's centre point within its rectangle
        double x;     // draw position (the centre lands here)
        double y;
        int id;
    };
    struct Frame {
        double time;
        std::vector<DrawnTile> tiles; // in drawing order
    };
    struct ChannelRecord {
        ChannelHandle handle;
        std::string path; // the sound's file
        bool music;
        int loops;
        double startSeconds; // into the sound, as the mixer would be told
        double volume;       // after clamping
        double pan;
        bool stopped = false;
        bool complete = false;
    };

    // Installs a fresh headless backend and returns it.
    static HeadlessMedia& install();

    // --- Driving it --------------------------------------------------------------------------
    double now() const { return clock_; }
    void setTime(double seconds) { clock_ = seconds; }
    void advance(double seconds) { clock_ += seconds; }
    // Hands a record to the stage handler at once (as the event loop would).
    void send(MediaEvent record);
    // Queues a record; pump() delivers queued records in order.
    void queue(MediaEvent record) { queue_.push_back(record); }
    // Delivers queued records, then a poll record if the requested wake is due.
    void pump();
    // Sends one poll record now, whatever the wake.
    void poll();
    // The wake the stage last asked for, in seconds from when it asked, and that moment.
    double requestedWake() const { return wake_; }
    double wakeRequestedAt() const { return wakeAskedAt_; }

    // --- What happened -----------------------------------------------------------------------
    const std::vector<Frame>& frames() const { return frames_; }
    void clearFrames() { frames_.clear(); }
    // Keeps only the last frame rather than every one (long runs).
    void setKeepAllFrames(bool keep) { keepAllFrames_ = keep; }
    const std::vector<ChannelRecord>& channels() const { return channels_; }
    void clearChannels();
    // Ends a channel as if its sound had played out.
    void completeChannel(ChannelHandle channel);
    // Ends every channel that is not looping.
    void completeAllEffects();
    const std::vector<std::string>& errors() const { return errors_; } // "caption: text"
    bool closed() const { return closed_; }
    StageDisplayState displayState() const { return displayState_; }
    StageScaleMode scaleMode() const { return scaleMode_; }
    bool cursorShown() const { return cursorShown_; }
    std::uint32_t background() const { return background_; }
    const std::string& title() const { return title_; }
    int windowWidth() const { return width_; }
    int windowHeight() const { return height_; }
    const std::vector<std::string>& package() const { return package_; }
    // RGBA pixels of a decoded image, row by row.
    const std::vector<std::uint8_t>& pixels(BitmapHandle bitmap) const;
    StageHandle stage() const { return stage_; }

    // --- MediaBackend ------------------------------------------------------------------------
    void media_set_package(const std::string& company, const std::string& file,
                           const std::string& package, const std::string& version) override;
    void media_create_main_frame(WindowReadyHandler onReady, int width, int height, unsigned flags,
                                 const std::string& title, BitmapHandle icon) override;
    StageHandle media_get_frame_stage(WindowHandle window) override;
    void media_set_stage_handler(StageHandle stage, StageEventHandler handler, int width,
                                 int height) override;
    void media_stage_set_next_wake(StageHandle stage, double seconds) override;
    void media_render_stage(StageHandle stage) override;
    double media_time_stamp() override { return clock_; }
    void media_stage_set_display_state(StageHandle stage, StageDisplayState state) override;
    void media_stage_set_scale_mode(StageHandle stage, StageScaleMode mode) override;
    void media_stage_show_cursor(StageHandle stage, bool show) override;
    void media_display_object_set_bg(ObjectHandle object, std::uint32_t rgb) override;
    void media_close() override { closed_ = true; }
    void media_show_error(const std::string& caption, const std::string& text) override;
    // The clipboard is a string held here, which tests may also set.
    void media_set_clipboard_text(const std::string& text) override { clipboard_ = text; }
    std::optional<std::string> media_get_clipboard_text() override { return clipboard_; }
    std::optional<std::string> clipboard_;
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
    double clock_ = 0;
    double wake_ = 0;
    double wakeAskedAt_ = 0;
    std::deque<MediaEvent> queue_;
    std::vector<Frame> frames_;
    bool keepAllFrames_ = true;
    std::vector<ChannelRecord> channels_;
    std::vector<std::string> errors_;
    std::vector<std::string> package_;
    bool closed_ = false;
    StageDisplayState displayState_ = StageDisplayState::NORMAL;
    StageScaleMode scaleMode_ = StageScaleMode::SHOW_ALL;
    bool cursorShown_ = true;
    std::uint32_t background_ = 0xFFFFFF;
    std::string title_;
    int width_ = 0;
    int height_ = 0;
    StageHandle stage_ = StageHandle::None;
    StageEventHandler handler_;
    struct Image {
        int width = 0;
        int height = 0;
        std::vector<std::uint8_t> rgba;
    };
    struct LoadedSound {
        std::string path;
        bool music = false;
    };
    struct LiveChannel {
        int loops = 0;
        std::size_t record = 0; // index into channels_, valid while recordValid
        bool recordValid = true;
    };
    ChannelRecord* recordOf(ChannelHandle channel);
    void endChannel(ChannelHandle channel, bool stopped);

    std::map<std::uint32_t, Image> images_;
    std::uint32_t nextImage_ = 1;
    std::map<std::uint32_t, LoadedSound> sounds_;
    std::uint32_t nextSound_ = 1;
    // Channels that have not ended; any other handle reports complete.
    std::map<std::uint32_t, LiveChannel> live_;
    std::uint32_t nextChannel_ = 1;
};

} // namespace zindle
