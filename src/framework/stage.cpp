// The stage's event pump (one native record at a time), the frame clock that decides when to
// render, and the translation of key and joystick records into events.
#include "framework/stage.h"

#include "framework/joystick_event.h"
#include "framework/keyboard_event.h"
#include "framework/lib.h"
#include "framework/sound_channel.h"

#include <algorithm>

namespace zindle {

namespace {
constexpr double kInitialFrameRate = 100;       // frames per second until the window sets its own
constexpr double kNoTimerWait = 315000000;      // s: the wait when no timer is pending (10 years)
constexpr double kDynamicSoundWait = 0.001;     // s: generated sounds need feeding this often
constexpr double kPlayingSoundWait = 0.02;      // s: how soon a playing channel's end is noticed
constexpr double kPausedPlayingSoundWait = 0.5; // s: the same while the window sleeps
constexpr double kAxisFullScale = 32767;        // native axis value of a full deflection
} // namespace

Stage::Stage(StageHandle handle, int width, int height)
    : DisplayObjectContainer(stageObject(handle)), stageHandle_(handle), width_(width),
      height_(height) {
    stage_ = this;
    active = true;
    pauseWhenDeactivated = true;
    renderRequest = nullptr;
    self_ = std::make_shared<Stage*>(this);
    media_set_stage_handler(
        handle,
        [self = self_](MediaEvent& record) {
            if (*self != nullptr)
                (*self)->mediaProcessStageEvent(record);
        },
        width, height);
    mediaLastRender = 0;
    mediaInvalid = false;
    setFrameRate(kInitialFrameRate);
    mediaJoyAxisData.clear();
}

Stage::~Stage() {
    *self_ = nullptr;
}

void Stage::setFrameRate(double rate) {
    frameRate_ = rate;
    // A rate of 0 or less means untimed frames; the period then carries the same value.
    mediaFramePeriod = rate > 0 ? 1.0 / rate : rate;
}

void Stage::setDisplayState(StageDisplayState state) {
    displayState_ = state;
    media_stage_set_display_state(stageHandle_, state);
}

void Stage::setScaleMode(StageScaleMode mode) {
    scaleMode_ = mode;
    media_stage_set_scale_mode(stageHandle_, mode);
}

void Stage::showCursor(bool show) {
    media_stage_show_cursor(stageHandle_, show);
}

void Stage::setOpaqueBackground(std::uint32_t rgb) {
    media_display_object_set_bg(stageObject(stageHandle_), rgb);
}

void Stage::mediaProcessStageEvent(MediaEvent& record) {
    mediaDoProcessStageEvent(record);
}

void Stage::mediaDoProcessStageEvent(MediaEvent& record) {
    switch (record.type) {
    case MediaEventType::KEY_DOWN:
        mediaOnKey(record, KeyboardEvent::KEY_DOWN);
        break;
    case MediaEventType::KEY_UP:
        mediaOnKey(record, KeyboardEvent::KEY_UP);
        break;
    case MediaEventType::RESIZE:
        // The window keeps its logical size; a resize only needs a fresh picture.
        if (!renderRequest)
            mediaRender(false);
        break;
    case MediaEventType::POLL:
        mediaPollTimers();
        break;
    case MediaEventType::QUIT:
        if (onQuit)
            onQuit();
        break;
    case MediaEventType::REDRAW:
        mediaRender(true);
        break;
    case MediaEventType::ACTIVATE:
        mediaSetActive(true);
        break;
    case MediaEventType::DEACTIVATE:
        mediaSetActive(false);
        break;
    case MediaEventType::JOY_AXIS:
        mediaOnJoystick(record, JoystickEvent::AXIS_MOVE);
        break;
    case MediaEventType::JOY_BALL:
        mediaOnJoystick(record, JoystickEvent::BALL_MOVE);
        break;
    case MediaEventType::JOY_HAT:
        mediaOnJoystick(record, JoystickEvent::HAT_MOVE);
        break;
    case MediaEventType::JOY_BUTTON_DOWN:
        mediaOnJoystick(record, JoystickEvent::BUTTON_DOWN);
        break;
    case MediaEventType::JOY_BUTTON_UP:
        mediaOnJoystick(record, JoystickEvent::BUTTON_UP);
        break;
    default:
        // Characters, mouse, focus, touch and the rest: the game uses none of them.
        break;
    }
    mediaUpdateNextWake();
}

double Stage::mediaUpdateNextWake() {
    double wait = kNoTimerWait;
    if (wait > kDynamicSoundWait && SoundChannel::mediaDynamicSoundCount > 0) {
        wait = kDynamicSoundWait;
    } else if (wait > kPlayingSoundWait && !SoundChannel::mediaIncompleteList.empty()) {
        wait = (active || !pauseWhenDeactivated) ? kPlayingSoundWait : kPausedPlayingSoundWait;
    }
    wait = mediaNextFrameDue(wait);
    media_stage_set_next_wake(stageHandle_, wait);
    return wait;
}

double Stage::mediaNextFrameDue(double other) {
    if (!active && pauseWhenDeactivated)
        return other;
    if (frameRate_ > 0) {
        // Wake a little early: the event loop may sleep longer than asked.
        const double next = mediaLastRender + mediaFramePeriod - Timer::stamp() - mediaEarlyWakeup;
        if (next < other)
            return next;
    }
    return other;
}

void Stage::mediaPollTimers() {
    SoundChannel::mediaPollComplete();
    mediaCheckRender();
}

void Stage::mediaCheckRender() {
    if (frameRate_ <= 0)
        return;
    const double now = Timer::stamp();
    if (now >= mediaLastRender + mediaFramePeriod) {
        // Timed from when this frame started, not from when it was due: lateness is not made up.
        mediaLastRender = now;
        if (renderRequest)
            renderRequest();
        else
            mediaRender(true);
    }
}

void Stage::mediaRender(bool sendEnterFrame) {
    if (!active && pauseWhenDeactivated)
        return;
    if (sendEnterFrame) {
        Event enterFrame(Event::ENTER_FRAME);
        broadcast(enterFrame);
    }
    if (mediaInvalid) {
        mediaInvalid = false;
        Event render(Event::RENDER);
        broadcast(render);
    }
    media_render_stage(stageHandle_);
}

void Stage::mediaSetActive(bool state) {
    if (state == active)
        return;
    active = state;
    if (!state) {
        mediaLastRender = Timer::stamp();
        Event deactivate(Event::DEACTIVATE);
        broadcast(deactivate);
    } else {
        Event activate(Event::ACTIVATE);
        broadcast(activate);
        mediaPollTimers();
    }
}

void Stage::mediaOnKey(MediaEvent& record, const std::string& type) {
    DisplayObject* target = DisplayObject::findById(record.target);
    // Only an object on this stage has a chain up to it; anything else is dropped unheard.
    if (target == nullptr || target->stage() != this)
        return;
    const int flags = record.flags;
    KeyboardEvent event(type, true, false, record.value, record.code,
                        (flags & efLocationRight) != 0 ? 0 : 1, (flags & efCtrlDown) != 0,
                        (flags & efAltDown) != 0, (flags & efShiftDown) != 0);
    target->dispatchEvent(event);
    if (event.defaultPrevented)
        record.result = 1;
}

void Stage::mediaOnJoystick(MediaEvent& record, const std::string& type) {
    if (type == JoystickEvent::AXIS_MOVE) {
        auto axes = mediaJoyAxisData.contains(record.device) ? mediaJoyAxisData[record.device]
                                                             : std::array<double, 3>{0, 0, 0};
        // The native range is -32768 to 32767: the one value below -1 is cut back.
        const double value = std::max(-1.0, record.value / kAxisFullScale);
        if (record.code >= 0 && record.code < 3)
            axes[static_cast<std::size_t>(record.code)] = value;
        mediaJoyAxisData[record.device] = axes;
        JoystickEvent event(type, record.device, 0, axes[0], axes[1], axes[2]);
        dispatchEvent(event);
    } else if (type == JoystickEvent::BUTTON_DOWN || type == JoystickEvent::BUTTON_UP) {
        JoystickEvent event(type, record.device, record.code, 0, 0, 0);
        dispatchEvent(event);
    } else {
        // Balls and hats: the record's number and its two values, as the backend gives them.
        JoystickEvent event(type, record.device, record.code, record.x, record.y, 0);
        dispatchEvent(event);
    }
}

} // namespace zindle
