// Xlib's handlers for a lost X server, which ends the game at once with one line instead of
// letting exit handlers talk to a dead connection, and for a refused request, which is reported
// and survived; and the refusal of a video driver that shows nothing when nobody asked for one.
#include "media/sdl/sdl_display_guard.h"

#include <SDL.h>
#include <X11/Xlib.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>
#include <string_view>

namespace zindle {

namespace {

// Xlib calls this when the connection to the X server breaks, and ends the process if it
// returns. Xlib's own ending runs the exit handlers, and tearing down a window on the dead
// connection then loops for ever, so this ends the process itself without them. Only
// async-signal-safe calls: the process is in an unknown state.
int onDisplayLost(Display*) {
    constexpr std::string_view kLine = "The connection to the X server was lost; the game ends.\n";
    [[maybe_unused]] const auto written = ::write(STDERR_FILENO, kLine.data(), kLine.size());
    ::_exit(1);
}

// Xlib's own handler for a refused request prints it and calls exit(), which runs the exit
// handlers in the middle of whatever SDL was doing: a request about a window that is already
// gone (seen when the window closes) then ended the game with a crash. Such a request is
// harmless to skip, so it is reported in one line and the game goes on.
int onRequestRefused(Display*, XErrorEvent* error) {
    reportRefusedRequest(error->error_code, error->request_code);
    return 0;
}

// Drivers that open no window. They are fine when asked for (the tests ask for "dummy"), but
// reached by SDL's fallback they mean a game that plays to nowhere for ever.
bool showsNothing(std::string_view driver) {
    return driver == "offscreen" || driver == "dummy" || driver == "evdev";
}

} // namespace

void reportRefusedRequest(int errorCode, int requestCode) {
    // A burst of refusals (one per frame, say) must not flood standard error.
    static int reported = 0;
    constexpr int kMostReported = 5;
    if (reported >= kMostReported)
        return;
    ++reported;
    std::fprintf(stderr,
                 "The X server refused a request (error %d, request %d); the game goes on.\n",
                 errorCode, requestCode);
}

void guardDisplay() {
    const char* current = SDL_GetCurrentVideoDriver();
    const std::string_view driver = current ? current : "";
    // SDL_GetHint also reads the SDL_VIDEODRIVER environment variable.
    const char* chosen = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    if (showsNothing(driver) && (chosen == nullptr || *chosen == '\0'))
        throw std::runtime_error("There is no display to show the game on (DISPLAY is unset or "
                                 "names no running X server)");
    if (driver == "x11") {
        XSetIOErrorHandler(&onDisplayLost);
        XSetErrorHandler(&onRequestRefused);
    }
}

} // namespace zindle
