#include "sdl_test_support.h"

#include "framework/stage.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>

#include <cmath>
#include <cstdlib>
#include <utility>

namespace zindle {
namespace {

using test::freshMedia;
using test::runWindow;

std::vector<MediaEvent> ofType(const std::vector<MediaEvent>& records, std::vector<int> types) {
    std::vector<MediaEvent> out;
    for (const auto& r : records) {
        if (std::find(types.begin(), types.end(), r.type) != types.end())
            out.push_back(r);
    }
    return out;
}

void pushKey(Uint32 type, SDL_Keycode key, Uint16 mods, bool repeat = false) {
    SDL_Event event{};
    event.type = type;
    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.key.repeat = repeat ? 1 : 0;
    event.key.keysym.sym = key;
    event.key.keysym.mod = mods;
    SDL_PushEvent(&event);
}

TEST(SdlEventLoopTest, WindowOpensAtItsSizeAndCloseEndsTheLoop) {
    auto& media = freshMedia();
    bool ready = false;
    runWindow(media, [&](StageHandle stage) {
        ready = true;
        EXPECT_NE(stage, StageHandle::None);
        ASSERT_TRUE(media.windowOpen());
        int w = 0;
        int h = 0;
        SDL_GetWindowSize(media.sdlWindow(), &w, &h);
        EXPECT_EQ(w, 480);
        EXPECT_EQ(h, 320);
        EXPECT_STREQ(SDL_GetWindowTitle(media.sdlWindow()), "Zindle vs Pellorin");
        EXPECT_EQ(SDL_GetWindowFlags(media.sdlWindow()) & SDL_WINDOW_RESIZABLE, 0u);
        EXPECT_EQ(media.media_get_frame_stage(static_cast<WindowHandle>(99)), StageHandle::None);
        media.media_close();
    });
    EXPECT_TRUE(ready);
    EXPECT_FALSE(media.windowOpen());
}

TEST(SdlEventLoopTest, AWindowFittedToTheScreenIsTheLargestWholeMultipleThatFits) {
    auto& media = freshMedia();
    media.fitWindowToScreen();
    runWindow(media, [&](StageHandle) {
        media.media_close();
        SDL_Rect usable{};
        EXPECT_EQ(SDL_GetDisplayUsableBounds(0, &usable), 0) << SDL_GetError();
        const int scale = std::max(1, std::min(usable.w / 480, usable.h / 320));
        int w = 0;
        int h = 0;
        SDL_GetWindowSize(media.sdlWindow(), &w, &h);
        EXPECT_EQ(w, 480 * scale) << "usable area " << usable.w << "x" << usable.h;
        EXPECT_EQ(h, 320 * scale);
        EXPECT_GT(scale, 1) << "the dummy display (1024 by 768) takes twice the picture";
    });
}

TEST(SdlEventLoopTest, PollComesNoEarlierThanTheWakeAsked) {
    auto& media = freshMedia();
    StageHandle stage{};
    double askedAt = -1;
    double polledAt = -1;
    runWindow(
        media, [&](StageHandle s) { stage = s; },
        [&](MediaEvent& r) {
            if (r.type != MediaEventType::POLL)
                return;
            if (askedAt < 0) {
                askedAt = media.media_time_stamp();
                media.media_stage_set_next_wake(stage, 0.03);
            } else {
                polledAt = media.media_time_stamp();
                media.media_close();
            }
        });
    EXPECT_GE(polledAt - askedAt, 0.03);
    EXPECT_LT(polledAt - askedAt, 0.5);
}

// A wake of zero or less stands for a frame due the stage's early-wake margin later: it comes
// then, in one sleep, not as a stream of polls until then.
TEST(SdlEventLoopTest, WakesOfZeroOrLessComeWhenTheFrameIsDue) {
    auto& media = freshMedia();
    StageHandle stage{};
    std::vector<double> asked{0.0, -0.003, -1.0};
    // How long the loop means to wait: between these two, as the clock moved while it was asked.
    std::vector<std::pair<double, double>> planned;
    std::vector<double> waited;
    double askedAt = -1;
    runWindow(
        media, [&](StageHandle s) { stage = s; },
        [&](MediaEvent& r) {
            if (r.type != MediaEventType::POLL)
                return;
            if (askedAt >= 0)
                waited.push_back(media.media_time_stamp() - askedAt);
            if (waited.size() == asked.size()) {
                media.media_close();
                return;
            }
            askedAt = media.media_time_stamp();
            media.media_stage_set_next_wake(stage, asked[waited.size()]);
            const double answered = media.media_time_stamp();
            planned.emplace_back(media.nextWakeAt() - answered, media.nextWakeAt() - askedAt);
        });
    ASSERT_EQ(waited.size(), 3u);
    // A sleep never ends early, so the waits are at least what was planned.
    EXPECT_GE(waited[0], Stage::mediaEarlyWakeup);
    EXPECT_GE(waited[1], Stage::mediaEarlyWakeup - 0.003);
    // How long they took on top of that is the scheduler's (a busy machine stretched the overdue
    // wake to 16 ms once): the loop's own part is what it planned.
    const double due[] = {Stage::mediaEarlyWakeup, Stage::mediaEarlyWakeup - 0.003};
    for (int i = 0; i < 2; ++i) {
        EXPECT_LE(planned[i].first, due[i] + 1e-9) << asked[i];
        EXPECT_GE(planned[i].second, due[i] - 1e-9) << asked[i];
    }
    EXPECT_LT(planned[2].first, 0.001); // overdue: at once
}

TEST(SdlEventLoopTest, WakesAtOnceAreServedWithoutSpinning) {
    auto& media = freshMedia();
    StageHandle stage{};
    int polls = 0;
    double start = -1;
    double end = -1;
    constexpr int kPolls = 100;
    runWindow(
        media, [&](StageHandle s) { stage = s; },
        [&](MediaEvent& r) {
            if (r.type != MediaEventType::POLL)
                return;
            if (start < 0)
                start = media.media_time_stamp();
            if (++polls == kPolls) {
                end = media.media_time_stamp();
                media.media_close();
            } else {
                media.media_stage_set_next_wake(stage, polls % 2 ? -1.0 : std::nan(""));
            }
        });
    // A short sleep (0.3 ms) before each: 99 take some 30 ms at least, where a spinning loop
    // serves them in a fraction of a millisecond. Sleeps never end early; a busy machine only
    // makes them longer.
    EXPECT_GE(end - start, (kPolls - 1) * 0.00025);
}

TEST(SdlEventLoopTest, KeysArriveTranslatedForTheStageAndRepeatsAreDropped) {
    auto& media = freshMedia();
    std::vector<MediaEvent> records;
    StageHandle stage{};
    runWindow(
        media,
        [&](StageHandle s) {
            stage = s;
            pushKey(SDL_KEYDOWN, SDLK_SPACE, KMOD_NONE);
            pushKey(SDL_KEYDOWN, SDLK_SPACE, KMOD_NONE, true);
            pushKey(SDL_KEYUP, SDLK_SPACE, KMOD_NONE);
            pushKey(SDL_KEYDOWN, SDLK_2, KMOD_LCTRL);
            pushKey(SDL_KEYDOWN, SDLK_RETURN, KMOD_LALT);
            pushKey(SDL_KEYDOWN, SDLK_w, KMOD_LSHIFT);
            media.processPendingEvents();
            media.media_close();
        },
        [&](MediaEvent& r) { records.push_back(r); });
    const auto keys = ofType(records, {MediaEventType::KEY_DOWN, MediaEventType::KEY_UP});
    ASSERT_EQ(keys.size(), 5u);
    for (const auto& k : keys)
        EXPECT_EQ(k.target, static_cast<int>(stage));
    EXPECT_EQ(keys[0].type, MediaEventType::KEY_DOWN);
    EXPECT_EQ(keys[0].code, 32);
    EXPECT_EQ(keys[0].value, ' ');
    EXPECT_EQ(keys[1].type, MediaEventType::KEY_UP);
    EXPECT_EQ(keys[1].code, 32);
    EXPECT_EQ(keys[2].code, 50);
    EXPECT_EQ(keys[2].flags, Stage::efCtrlDown);
    EXPECT_EQ(keys[3].code, 13);
    EXPECT_EQ(keys[3].flags, Stage::efAltDown);
    EXPECT_EQ(keys[4].code, 87);
    EXPECT_EQ(keys[4].value, 'W');
    EXPECT_EQ(keys[4].flags, Stage::efShiftDown);
}

TEST(SdlEventLoopTest, QuitAndFocusBecomeTheirRecords) {
    auto& media = freshMedia();
    std::vector<MediaEvent> records;
    runWindow(
        media,
        [&](StageHandle) {
            SDL_Event event{};
            event.type = SDL_WINDOWEVENT;
            event.window.windowID = SDL_GetWindowID(media.sdlWindow());
            event.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
            SDL_PushEvent(&event);
            event.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
            SDL_PushEvent(&event);
            event = SDL_Event{};
            event.type = SDL_QUIT;
            SDL_PushEvent(&event);
        },
        [&](MediaEvent& r) {
            records.push_back(r);
            // What the stage does with a quit record.
            if (r.type == MediaEventType::QUIT)
                media.media_close();
        });
    const auto seen = ofType(
        records, {MediaEventType::ACTIVATE, MediaEventType::DEACTIVATE, MediaEventType::QUIT});
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].type, MediaEventType::DEACTIVATE);
    EXPECT_EQ(seen[1].type, MediaEventType::ACTIVATE);
    EXPECT_EQ(seen[2].type, MediaEventType::QUIT);
}

TEST(SdlEventLoopTest, DisplayStateSwitchesTheDesktopFullScreenAndBack) {
    auto& media = freshMedia();
    runWindow(media, [&](StageHandle stage) {
        // Asked for before the first picture, full screen waits for it.
        media.media_stage_set_display_state(stage, StageDisplayState::FULL_SCREEN);
        EXPECT_EQ(SDL_GetWindowFlags(media.sdlWindow()) & SDL_WINDOW_FULLSCREEN_DESKTOP, 0u);
        media.media_render_stage(stage);
        EXPECT_NE(SDL_GetWindowFlags(media.sdlWindow()) & SDL_WINDOW_FULLSCREEN_DESKTOP, 0u);
        media.media_stage_set_display_state(stage, StageDisplayState::NORMAL);
        media.media_render_stage(stage);
        EXPECT_EQ(SDL_GetWindowFlags(media.sdlWindow()) & SDL_WINDOW_FULLSCREEN_DESKTOP, 0u);
        media.media_stage_show_cursor(stage, false);
        EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
        media.media_close();
    });
}

TEST(SdlEventLoopTest, DisplayStateRequestsBetweenFramesMakeOneSwitchToTheLatest) {
    auto& media = freshMedia();
    runWindow(media, [&](StageHandle stage) {
        media.media_render_stage(stage);
        const int before = media.displayStateChanges();
        struct Case {
            std::vector<StageDisplayState> asked; // between two presents
            bool fullScreenAfter;
            int switches;
        };
        using S = StageDisplayState;
        const Case cases[] = {
            {{S::FULL_SCREEN, S::NORMAL, S::FULL_SCREEN}, true, 1},
            {{S::NORMAL, S::FULL_SCREEN}, true, 0}, // back where it was: nothing to do
            {std::vector<S>(200, S::NORMAL), false, 1},
            {{}, false, 0},
        };
        int expected = before;
        for (const Case& c : cases) {
            for (S state : c.asked)
                media.media_stage_set_display_state(stage, state);
            media.media_render_stage(stage);
            expected += c.switches;
            EXPECT_EQ(media.displayStateChanges(), expected);
            EXPECT_EQ((SDL_GetWindowFlags(media.sdlWindow()) & SDL_WINDOW_FULLSCREEN_DESKTOP) != 0,
                      c.fullScreenAfter);
        }
        media.media_close();
    });
}

} // namespace
} // namespace zindle

namespace zindle {
namespace {

// The process entry shows a fatal error and exits: without a display that must return at once
// (the text is on stderr already), never block or crash.
TEST(SdlErrorTest, ErrorBoxWithoutADisplayReturns) {
    const char* display = std::getenv("DISPLAY");
    const std::string saved = display ? display : "";
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    auto& media = test::freshMedia();
    media.media_show_error("Error", "The atlas could not be loaded");
    if (display)
        setenv("DISPLAY", saved.c_str(), 1);
    SUCCEED();
}

} // namespace
} // namespace zindle
