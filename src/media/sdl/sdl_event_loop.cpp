// The event loop: it sleeps until the wake the stage asked for, hands every SDL event to the
// stage as a native record, and sends a poll when the wake is due. The stage asks to be woken
// Stage::mediaEarlyWakeup (5 ms) before a frame, for event loops that oversleep, and then, until
// the frame is due, again and again with a wake of zero or less: the frame is due that margin
// after the wake asked for. This loop sleeps to a fraction of a millisecond, so it serves such a
// wake when the frame is due, in one precise sleep rather than a poll every few tenths of a
// millisecond (which cost some 900 wake-ups a second): two wake-ups a frame in all.
#include "media/sdl/sdl_media.h"

#include "framework/stage.h"
#include "media/sdl/sdl_joysticks.h"
#include "media/sdl/sdl_keys.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

namespace zindle {

namespace {
// s: the shortest wait for any wake, so that a stage that keeps asking for wakes at once (an
// overdue frame) never makes the loop spin.
constexpr double kShortestWake = 0.0003;
// s: waits shorter than this are slept precisely; SDL waits for events in whole milliseconds.
// Waits for a due frame are slept precisely whatever their length.
constexpr double kEventWaitGranularity = 0.001;
// ms: the longest single wait for events (an idle stage may ask for years).
constexpr int kLongestEventWait = 250;
// s: the next poll after one the stage did not follow up with a wake of its own.
constexpr double kFallbackWake = 0.02;

} // namespace

void SdlMedia::media_stage_set_next_wake(StageHandle stage, double seconds) {
    if (stage != stage_)
        return;
    double wait = seconds;
    wakeForFrame_ = false;
    if (std::isnan(seconds)) {
        wait = 0; // at once
    } else if (seconds <= 0) {
        wait = seconds + Stage::mediaEarlyWakeup; // when the frame is due
        wakeForFrame_ = true;
    }
    wakeAt_ = media_time_stamp() + std::max(wait, kShortestWake);
}

void SdlMedia::runLoop() {
    while (!closeRequested_) {
        waitForWake();
        if (closeRequested_)
            break;
        if (media_time_stamp() >= wakeAt_) {
            wakeAt_ = media_time_stamp() + kFallbackWake;
            wakeForFrame_ = false;
            deliver(mediaEvent(MediaEventType::POLL));
        }
    }
}

void SdlMedia::waitForWake() {
    const double remaining = wakeAt_ - media_time_stamp();
    SDL_Event event;
    bool got = false;
    if (remaining >= kEventWaitGranularity && !wakeForFrame_) {
        // Whole milliseconds, rounded up: one wake-up rather than a wait and then a short sleep
        // for the fraction. Such wakes are early ones (the stage's margin before a frame) or
        // sound checks, which a fraction of a millisecond more does not hurt.
        const double ms = std::min(std::ceil(remaining * 1000), double{kLongestEventWait});
        got = SDL_WaitEventTimeout(&event, static_cast<int>(ms)) == 1;
    } else {
        // A frame is due (or the wake is under a millisecond): one precise sleep. Events that
        // come meanwhile wait at most the stage's early-wake margin, and are still handed over
        // before the frame's poll.
        if (remaining > 0)
            std::this_thread::sleep_for(std::chrono::duration<double>(remaining));
        got = SDL_PollEvent(&event) == 1;
    }
    if (got) {
        dispatch(event);
        processPendingEvents();
    }
}

void SdlMedia::processPendingEvents() {
    SDL_Event event;
    while (!closeRequested_ && SDL_PollEvent(&event) == 1)
        dispatch(event);
}

void SdlMedia::deliver(MediaEvent event) {
    held_.note(event);
    if (handler_)
        handler_(event);
}

void SdlMedia::dispatch(const SDL_Event& event) {
    const int stageId = static_cast<int>(stage_);
    switch (event.type) {
    case SDL_QUIT:
        if (handler_)
            deliver(mediaEvent(MediaEventType::QUIT));
        else
            media_close();
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        // Held keys repeat; those are dropped. The game acts on presses: a repeated ESC would
        // leave a match and then quit from the title, and a repeated CTRL+digit would hand a
        // player to the computer and straight back.
        if (event.key.repeat != 0)
            break;
        const SDL_Keycode key = event.key.keysym.sym;
        auto r = mediaEvent(event.type == SDL_KEYDOWN ? MediaEventType::KEY_DOWN
                                                      : MediaEventType::KEY_UP,
                            frameworkKeyCode(key), keyCharacter(key, event.key.keysym.mod));
        r.target = stageId;
        r.flags = keyFlags(key, event.key.keysym.mod);
        deliver(r);
        break;
    }
    case SDL_WINDOWEVENT:
        switch (event.window.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            deliver(mediaEvent(MediaEventType::ACTIVATE));
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            // Everything held is let go first, as a player leaving the game would: a key's
            // release would go to another window, and a stick left pushed would steer on while
            // the player is elsewhere. Keys SDL has already let go of itself are no longer
            // held here, so nothing is released twice.
            for (const MediaEvent& release : held_.releaseAll())
                deliver(release);
            deliver(mediaEvent(MediaEventType::DEACTIVATE));
            break;
        case SDL_WINDOWEVENT_EXPOSED:
            deliver(mediaEvent(MediaEventType::REDRAW));
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            boundWindowWithoutManager();
            break;
        default:
            break;
        }
        break;
    case SDL_JOYDEVICEADDED:
        joysticks_->add(event.jdevice.which); // a device index
        break;
    case SDL_JOYDEVICEREMOVED:
        joysticks_->remove(event.jdevice.which); // an instance id
        break;
    case SDL_JOYAXISMOTION:
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP:
    case SDL_JOYHATMOTION:
    case SDL_JOYBALLMOTION:
    case SDL_CONTROLLERAXISMOTION:
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP:
        if (auto translated = joysticks_->translate(event))
            deliver(*translated);
        break;
    default:
        break;
    }
}

} // namespace zindle
