// The headless backend's driving (events, polls), its window and stage primitives, and the
// recording of every rendered frame.
#include "media/headless/headless_media.h"

#include <cmath>
#include <filesystem>
#include <iterator>

namespace zindle {

namespace {
constexpr WindowHandle kTheWindow = static_cast<WindowHandle>(1); // there is only ever one

} // namespace

HeadlessMedia& HeadlessMedia::install() {
    auto media = std::make_unique<HeadlessMedia>();
    auto& installed = *media;
    media_install(std::move(media));
    return installed;
}

// --- Driving it ---------------------------------------------------------------------------------

void HeadlessMedia::send(MediaEvent record) {
    if (handler_)
        handler_(record);
}

void HeadlessMedia::pump() {
    while (!queue_.empty()) {
        MediaEvent record = queue_.front();
        queue_.pop_front();
        send(record);
    }
    if (handler_ && clock_ >= wakeAskedAt_ + wake_)
        poll();
}

void HeadlessMedia::poll() {
    MediaEvent record;
    record.type = MediaEventType::POLL;
    send(record);
}

// --- Application and window -------------------------------------------------------------------

void HeadlessMedia::media_set_package(const std::string& company, const std::string& file,
                                      const std::string& package, const std::string& version) {
    package_ = {company, file, package, version};
}

void HeadlessMedia::media_create_main_frame(WindowReadyHandler onReady, int width, int height,
                                            unsigned /*flags*/, const std::string& title,
                                            BitmapHandle /*icon*/) {
    title_ = title;
    width_ = width;
    height_ = height;
    stage_ = tree_.createRoot();
    if (onReady)
        onReady(kTheWindow);
}

StageHandle HeadlessMedia::media_get_frame_stage(WindowHandle window) {
    return window == kTheWindow ? stage_ : StageHandle::None;
}

void HeadlessMedia::media_set_stage_handler(StageHandle /*stage*/, StageEventHandler handler,
                                            int /*width*/, int /*height*/) {
    handler_ = std::move(handler);
}

void HeadlessMedia::media_stage_set_next_wake(StageHandle /*stage*/, double seconds) {
    wake_ = seconds;
    wakeAskedAt_ = clock_;
}

void HeadlessMedia::media_render_stage(StageHandle stage) {
    Frame frame{clock_, {}};
    tree_.forEachBatch(stageObject(stage), [&](const DisplayTree::Batch& batch) {
        const auto tiles = tree_.sheetTiles(batch.sheet);
        const auto count = static_cast<double>(tiles.size());
        for (std::size_t i = 0; i + 2 < batch.data.size(); i += 3) {
            const double id = batch.data[i + 2];
            // Ids come from the caller's buffer: anything that names no tile draws nothing.
            if (!(id >= 0 && id < count))
                continue;
            const auto& tile = tiles[static_cast<std::size_t>(id)];
            frame.tiles.push_back(DrawnTile{batch.atlas, tile.rect, tile.centre, batch.data[i],
                                            batch.data[i + 1], static_cast<int>(id)});
        }
    });
    if (!keepAllFrames_)
        frames_.clear();
    frames_.push_back(std::move(frame));
}

void HeadlessMedia::media_stage_set_display_state(StageHandle /*stage*/, StageDisplayState state) {
    displayState_ = state;
}

void HeadlessMedia::media_stage_set_scale_mode(StageHandle /*stage*/, StageScaleMode mode) {
    scaleMode_ = mode;
}

void HeadlessMedia::media_stage_show_cursor(StageHandle /*stage*/, bool show) {
    cursorShown_ = show;
}

void HeadlessMedia::media_display_object_set_bg(ObjectHandle /*object*/, std::uint32_t rgb) {
    background_ = rgb;
}

void HeadlessMedia::media_show_error(const std::string& caption, const std::string& text) {
    errors_.push_back(caption + ": " + text);
}

} // namespace zindle
