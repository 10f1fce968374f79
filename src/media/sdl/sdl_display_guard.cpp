// Xlib's handler for a lost X server, which ends the game at once with one line instead of
// letting exit handlers talk to a dead connection, and the refusal of a video driver that
// shows nothing when nobody asked for one.
#include "media/sdl/sdl_display_guard.h"

#include <SDL.h>
#include <X11/Xlib.h>
#include <unistd.h>

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

// Drivers that open no window. They are fine when asked for (the tests ask for "dummy"), but
// reached by SDL's fallback they mean a game that plays to nowhere for ever.
bool showsNothing(std::string_view driver) {
    return driver == "offscreen" || driver == "dummy" || driver == "evdev";
}

} // namespace

void guardDisplay() {
    const char* current = SDL_GetCurrentVideoDriver();
    const std::string_view driver = current ? current : "";
    // SDL_GetHint also reads the SDL_VIDEODRIVER environment variable.
    const char* chosen = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    if (showsNothing(driver) && (chosen == nullptr || *chosen == '\0'))
        throw std::runtime_error("There is no display to show the game on (DISPLAY is unset or "
                                 "names no running X server)");
    if (driver == "x11")
        XSetIOErrorHandler(&onDisplayLost);
}

} // namespace zindle
