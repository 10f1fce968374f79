// The web backend: the clock and its pacing, the stage's records, images, the frame as runs of
// tiles for the page's WebGL, and sounds handed to the page's Web Audio.
#include "media/web/web_media.h"

#include "framework/stage.h"
#include "media/common/asset_file.h"
#include "media/common/png_decode.h"
#include "media/common/sound_format.h"
#include "media/common/sound_start.h"
#include "media/web/web_host.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <filesystem>
#include <limits>

namespace zindle {

namespace {
constexpr int kTileWords = 6; // left, top, width, height, atlas x, atlas y
constexpr int kRunWords = 3;  // atlas, first tile, tile count
// Polls one refresh may take: a wake that comes early, then the frame's own.
constexpr int kPollsPerRefresh = 3;
constexpr double kTicksPerSecond = 1e6; // the voice rules' clock: microseconds of the page's

// Volume to [0, 1] and pan to [-1, 1], NaN to 0, as the desktop's mixer is given them.
double clampUnit(double value, double low) {
    return std::isnan(value) ? 0 : std::clamp(value, low, 1.0);
}

std::int16_t toShort(double value) {
    return static_cast<std::int16_t>(std::clamp(value, double{std::numeric_limits<short>::min()},
                                                double{std::numeric_limits<short>::max()}));
}
} // namespace

WebMedia& WebMedia::install() {
    return static_cast<WebMedia&>(media_install(std::make_unique<WebMedia>()));
}

WebMedia::WebMedia()
    : pacer_(Stage::mediaEarlyWakeup), clockStart_(web_host::now()),
      policy_(kVoicesPerFamily, static_cast<std::uint64_t>(kNoStackSeconds * kTicksPerSecond)) {}

// --- The page's calls ------------------------------------------------------------------------

void WebMedia::guard(const std::function<void()>& body) {
    if (failed_)
        return;
    try {
        body();
    } catch (const std::exception& e) {
        failed_ = true;
        if (fatal_)
            fatal_(e.what());
    } catch (...) {
        failed_ = true;
        if (fatal_)
            fatal_("Unknown error");
    }
}

void WebMedia::animationFrame(double interval) {
    rendered_ = false;
    for (int i = 0; i < kPollsPerRefresh && running() && !rendered_; ++i) {
        if (!pacer_.serve(web_host::now() - clockStart_, interval))
            break;
        deliver(mediaEvent(MediaEventType::POLL));
    }
}

void WebMedia::key(bool down, int code, int character, int flags) {
    auto r = mediaEvent(down ? MediaEventType::KEY_DOWN : MediaEventType::KEY_UP, code, character);
    r.target = static_cast<int>(stage_);
    r.flags = flags;
    deliver(r);
}

void WebMedia::joystick(int type, int device, int code, int value) {
    auto r = mediaEvent(type, code, value);
    r.device = device;
    deliver(r);
}

namespace {
// The browser's standard gamepad mapping: buttons 0 (south), 1 (east), 5 (the right shoulder),
// 8 (Back), 9 (Start), 12 to 15 (the D-pad's up, down, left and right); axes 0 and 1 are the
// left stick's x and y.
pad_layout::Part standardPart(bool isAxis, int index) {
    using pad_layout::Part;
    if (isAxis)
        return index == 0 ? Part::LeftStickX : index == 1 ? Part::LeftStickY : Part::Other;
    switch (index) {
    case 0:
        return Part::South;
    case 1:
        return Part::East;
    case 8:
        return Part::Back;
    case 12:
        return Part::DpadUp;
    case 13:
        return Part::DpadDown;
    case 5:
        return Part::RightShoulder;
    case 9:
        return Part::Start;
    case 14:
        return Part::DpadLeft;
    case 15:
        return Part::DpadRight;
    default:
        return Part::Other;
    }
}
} // namespace

void WebMedia::standardPad(int device, bool isAxis, int index, int value) {
    auto& pad = pads_[device];
    const auto part = standardPart(isAxis, index);
    auto record = isAxis ? pad.axis(part, value) : pad.button(part, value != 0);
    if (!record)
        return;
    record->device = device;
    deliver(*record);
}

void WebMedia::setActive(bool active) {
    deliver(mediaEvent(active ? MediaEventType::ACTIVATE : MediaEventType::DEACTIVATE));
}

void WebMedia::deliver(MediaEvent event) {
    if (handler_ && running())
        handler_(event);
}

// --- Application and window ------------------------------------------------------------------

void WebMedia::media_set_package(const std::string&, const std::string&, const std::string&,
                                 const std::string&) {
    // Nothing to store: the game keeps no preferences or saves under the package's name.
}

void WebMedia::media_create_main_frame(WindowReadyHandler onReady, int width, int height, unsigned,
                                       const std::string& title, BitmapHandle) {
    logicalWidth_ = width;
    logicalHeight_ = height;
    web_host::createWindow(width, height, title.c_str());
    stage_ = tree_.createRoot();
    // The page's callbacks drive the program from here on; this returns at once, unlike the
    // desktop's event loop, because a page must hand control back to the browser.
    if (onReady)
        onReady(static_cast<WindowHandle>(handleValue(stage_)));
}

StageHandle WebMedia::media_get_frame_stage(WindowHandle window) {
    return static_cast<StageHandle>(handleValue(window));
}

void WebMedia::media_set_stage_handler(StageHandle stage, StageEventHandler handler, int, int) {
    if (stage == stage_)
        handler_ = std::move(handler);
}

void WebMedia::media_stage_set_next_wake(StageHandle stage, double seconds) {
    if (stage == stage_)
        pacer_.wakeRequested(media_time_stamp(), seconds);
}

double WebMedia::media_time_stamp() {
    if (heldClock_)
        return *heldClock_;
    return pacer_.clock(web_host::now() - clockStart_);
}

void WebMedia::fastForward(double seconds, const std::function<bool()>& done,
                           const std::function<void()>& beforeFrame) {
    constexpr double kFrameRate = 60; // frames a second, as a headless run plays them
    // Only a held clock may be moved: a running one would go backwards.
    if (!heldClock_)
        return;
    drawing_ = false;
    for (long frame = 0; frame / kFrameRate < seconds && running(); ++frame) {
        if (done())
            break;
        heldClock_ = static_cast<double>(frame) / kFrameRate;
        beforeFrame();
        rendered_ = false;
        deliver(mediaEvent(MediaEventType::POLL));
        // k/60 - (k-1)/60 may round to a hair under a period; a redraw then renders the frame,
        // as the headless run does.
        if (!rendered_)
            deliver(mediaEvent(MediaEventType::REDRAW));
    }
    drawing_ = true;
    clockStart_ = web_host::now() - heldClock_.value_or(0);
    heldClock_.reset();
}

void WebMedia::media_stage_set_display_state(StageHandle stage, StageDisplayState state) {
    if (stage == stage_)
        web_host::setDisplayState(static_cast<int>(state));
}

void WebMedia::media_stage_set_scale_mode(StageHandle stage, StageScaleMode mode) {
    if (stage == stage_)
        web_host::setScaleMode(static_cast<int>(mode));
}

void WebMedia::media_stage_show_cursor(StageHandle stage, bool show) {
    if (stage == stage_)
        web_host::showCursor(show);
}

void WebMedia::media_display_object_set_bg(ObjectHandle object, std::uint32_t rgb) {
    if (object == stageObject(stage_))
        background_ = rgb & 0xFFFFFF;
}

void WebMedia::media_close() {
    if (closed_)
        return;
    closed_ = true;
    web_host::closed();
}

void WebMedia::media_show_error(const std::string& caption, const std::string& text) {
    failed_ = true;
    web_host::showError(caption.c_str(), text.c_str());
}

void WebMedia::media_set_clipboard_text(const std::string& text) {
    web_host::copyText(text.c_str());
}

// --- Drawing ---------------------------------------------------------------------------------

void WebMedia::appendBatch(const DisplayTree::Batch& batch) {
    const auto tiles = tree_.sheetTiles(batch.sheet);
    if (tiles.empty() || !bitmaps_.contains(handleValue(batch.atlas)))
        return;
    const auto first = static_cast<std::uint32_t>(tiles_.size() / kTileWords);
    for (std::size_t i = 0; i + 2 < batch.data.size(); i += 3) {
        const double id = batch.data[i + 2];
        if (!(id >= 0 && id < static_cast<double>(tiles.size())))
            continue;
        const auto& tile = tiles[static_cast<std::size_t>(id)];
        // Whole pixels, rounded as the desktop rounds them.
        const double left = std::round(batch.data[i] - tile.centre.x);
        const double top = std::round(batch.data[i + 1] - tile.centre.y);
        // Tiles wholly off the picture cost the page nothing; this also keeps every position
        // that is drawn well inside 16 bits.
        if (!(left < logicalWidth_ && top < logicalHeight_ && left + tile.rect.width > 0 &&
              top + tile.rect.height > 0))
            continue;
        tiles_.insert(tiles_.end(),
                      {toShort(left), toShort(top), toShort(tile.rect.width),
                       toShort(tile.rect.height), toShort(tile.rect.x), toShort(tile.rect.y)});
    }
    const auto count = static_cast<std::uint32_t>(tiles_.size() / kTileWords) - first;
    if (count == 0)
        return;
    // Consecutive batches over one atlas are one draw for the page.
    const auto atlas = handleValue(batch.atlas);
    if (!runs_.empty() && runs_[runs_.size() - kRunWords] == atlas)
        runs_.back() += count;
    else
        runs_.insert(runs_.end(), {atlas, first, count});
}

void WebMedia::media_render_stage(StageHandle stage) {
    if (stage != stage_ || !running())
        return;
    rendered_ = true;
    if (!drawing_)
        return;
    tiles_.clear();
    runs_.clear();
    tree_.forEachBatch(stageObject(stage_),
                       [this](const DisplayTree::Batch& batch) { appendBatch(batch); });
    web_host::drawFrame(background_, runs_.data(), static_cast<int>(runs_.size() / kRunWords),
                        tiles_.data());
}

// --- Images ----------------------------------------------------------------------------------

BitmapHandle WebMedia::media_bitmap_data_load(const std::string& path, int) {
    const auto image = readPng(path, PixelOrder::RGBA);
    if (!image)
        return BitmapHandle::None;
    const auto id = nextBitmap_++;
    web_host::createImage(id, image->width, image->height, image->pixels.data());
    bitmaps_.emplace(id, Size{image->width, image->height});
    return static_cast<BitmapHandle>(id);
}

int WebMedia::media_bitmap_data_width(BitmapHandle bitmap) {
    auto found = bitmaps_.find(handleValue(bitmap));
    return found == bitmaps_.end() ? 0 : found->second.width;
}

int WebMedia::media_bitmap_data_height(BitmapHandle bitmap) {
    auto found = bitmaps_.find(handleValue(bitmap));
    return found == bitmaps_.end() ? 0 : found->second.height;
}

// --- Sound -----------------------------------------------------------------------------------

SoundHandle WebMedia::media_sound_from_file(const std::string& path, bool playAsMusic) {
    const auto id = nextSound_;
    if (!web_host::loadSound(id, path.c_str(), playAsMusic)) {
        if (!playAsMusic)
            reportAssetProblem(path, "the page could not take it as a sound");
        return SoundHandle::None;
    }
    // An effect already in the page's file system is checked here by the desktop's rule, so that
    // both refuse the same files with the same line. One still arriving (the first start does
    // not wait for the effects) is checked by the same rule when its bytes are in
    // (effectArrivalProblem); music is checked by its signature in the page.
    if (!playAsMusic && std::filesystem::exists(path)) {
        const auto bytes = readAsset(path, kMaxEffectFileBytes, Missing::Reported);
        if (!bytes)
            return SoundHandle::None;
        if (const auto problem = effectFormatProblem(*bytes)) {
            reportAssetProblem(path, *problem);
            return SoundHandle::None;
        }
    }
    if (!playAsMusic)
        families_.emplace(id, soundFamily(path));
    ++nextSound_;
    return static_cast<SoundHandle>(id);
}

ChannelHandle WebMedia::media_sound_channel_create(SoundHandle sound, double startTime, int loops,
                                                   const SoundTransform* transform) {
    const SoundTransform t = transform ? *transform : SoundTransform{};
    const double volume = clampUnit(t.volume, 0);
    const double pan = clampUnit(t.pan, -1);
    const auto family = families_.find(handleValue(sound));
    std::optional<VoicePolicy::Admission> admission;
    const auto now = static_cast<std::uint64_t>(web_host::now() * kTicksPerSecond);
    if (family != families_.end()) {
        policy_.forgetEnded([](std::uint32_t voice) { return web_host::channelComplete(voice); });
        admission = policy_.admit(handleValue(sound), family->second, volume, now);
        if (admission->join) {
            const auto id = nextChannel_++;
            joined_.emplace(id, Joined{*admission->join});
            // The voice keeps its place in the picture; only its level rises to the louder start.
            web_host::setChannelTransform(*admission->join, admission->joinVolume,
                                          voicePans_[*admission->join]);
            return static_cast<ChannelHandle>(id);
        }
        for (const auto voice : admission->evict) {
            web_host::fadeOutChannel(voice, kEvictFadeSeconds);
            voicePans_.erase(voice);
        }
    }
    const auto id = nextChannel_;
    // Only music starts part-way: the page keeps effects at their beginning.
    if (!web_host::playSound(id, handleValue(sound), std::max(loops, 0), volume, pan,
                             startSeconds(startTime)))
        return ChannelHandle::None;
    ++nextChannel_;
    if (admission) {
        policy_.started(id, handleValue(sound), family->second, volume, now);
        voicePans_[id] = pan;
    }
    return static_cast<ChannelHandle>(id);
}

void WebMedia::media_sound_channel_stop(ChannelHandle channel) {
    // A joined start leaves the voice to the start that owns it.
    if (auto joined = joined_.find(handleValue(channel)); joined != joined_.end()) {
        joined->second.stopped = true;
        return;
    }
    web_host::stopChannel(handleValue(channel));
}

void WebMedia::media_sound_channel_set_transform(ChannelHandle channel,
                                                 const SoundTransform& transform) {
    std::uint32_t target = handleValue(channel);
    if (auto joined = joined_.find(target); joined != joined_.end())
        target = joined->second.voice;
    web_host::setChannelTransform(target, clampUnit(transform.volume, 0),
                                  clampUnit(transform.pan, -1));
}

bool WebMedia::media_sound_channel_is_complete(ChannelHandle channel) {
    if (auto joined = joined_.find(handleValue(channel)); joined != joined_.end()) {
        if (!joined->second.stopped && !web_host::channelComplete(joined->second.voice))
            return false;
        joined_.erase(joined);
        return true;
    }
    const bool complete = web_host::channelComplete(handleValue(channel));
    if (complete)
        voicePans_.erase(handleValue(channel));
    return complete;
}

} // namespace zindle
