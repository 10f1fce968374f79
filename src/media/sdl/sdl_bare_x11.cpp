// Full screen on an X server without a window manager (an arcade cabinet's bare X server).
// SDL asks the window manager to make the window full screen and waits up to 100 ms for its
// answer; with no manager that wait is paid on every switch, and the window keeps its size.
// Here the window is moved and sized directly, as a manager would, and SDL is not asked. With
// no manager, any client may also make the window as large as X allows (32767 pixels a side);
// the game then brings it back to the largest size it draws for, as a manager keeps a window
// within its size hints.
#include "media/sdl/sdl_media.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <algorithm>
#include <cstring>

namespace zindle {

#if defined(SDL_VIDEO_DRIVER_X11)
namespace {

// libX11 is already in the process (SDL's X11 driver loaded it), so it is looked up rather than
// linked, as for the renderer choice.
using InternAtom = Atom (*)(Display*, const char*, Bool);
using DefaultRoot = Window (*)(Display*);
using GetWindowProperty = int (*)(Display*, Window, Atom, long, long, Bool, Atom, Atom*, int*,
                                  unsigned long*, unsigned long*, unsigned char**);
using Free = int (*)(void*);
using MoveResizeWindow = int (*)(Display*, Window, int, int, unsigned, unsigned);
using Flush = int (*)(Display*);

struct Xlib {
    InternAtom internAtom = nullptr;
    DefaultRoot defaultRoot = nullptr;
    GetWindowProperty getWindowProperty = nullptr;
    Free free = nullptr;
    MoveResizeWindow moveResizeWindow = nullptr;
    Flush flush = nullptr;

    explicit Xlib(void* library)
        : internAtom(reinterpret_cast<InternAtom>(SDL_LoadFunction(library, "XInternAtom"))),
          defaultRoot(
              reinterpret_cast<DefaultRoot>(SDL_LoadFunction(library, "XDefaultRootWindow"))),
          getWindowProperty(
              reinterpret_cast<GetWindowProperty>(SDL_LoadFunction(library, "XGetWindowProperty"))),
          free(reinterpret_cast<Free>(SDL_LoadFunction(library, "XFree"))),
          moveResizeWindow(
              reinterpret_cast<MoveResizeWindow>(SDL_LoadFunction(library, "XMoveResizeWindow"))),
          flush(reinterpret_cast<Flush>(SDL_LoadFunction(library, "XFlush"))) {}

    bool complete() const {
        return internAtom && defaultRoot && getWindowProperty && free && moveResizeWindow && flush;
    }

    // A manager that follows the desktop conventions names its check window on the root.
    bool managerRuns(Display* display) const {
        const Atom check = internAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
        if (check == None)
            return false;
        Atom type = None;
        int format = 0;
        unsigned long items = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        const int status =
            getWindowProperty(display, defaultRoot(display), check, 0, 1, False, AnyPropertyType,
                              &type, &format, &items, &after, &data);
        if (data != nullptr)
            free(data);
        return status != Success || type != None;
    }
};

// Runs act(x, display, window) with X's functions, for a window on X11; false otherwise, or
// what act returns.
template <class Act> bool withX11(SDL_Window* window, Act act) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window == nullptr || SDL_GetWindowWMInfo(window, &info) != SDL_TRUE ||
        info.subsystem != SDL_SYSWM_X11)
        return false;
    void* library = SDL_LoadObject("libX11.so.6");
    if (library == nullptr)
        return false;
    const Xlib x(library);
    const bool done = x.complete() && act(x, info.info.x11.display, info.info.x11.window);
    SDL_UnloadObject(library);
    return done;
}

} // namespace
#endif

bool SdlMedia::placeWindowWithoutManager(bool fullScreen) {
#if defined(SDL_VIDEO_DRIVER_X11)
    return withX11(window_.get(), [&](const Xlib& x, Display* display, Window window) {
        // A window made full screen here goes back here, even if a manager has started since.
        if (!placedFullScreen_ && x.managerRuns(display))
            return false;
        // Full screen covers the display (up to the largest picture drawn, centred there);
        // back in a window, the window returns to where it was. A window never made full
        // screen here is left alone. SDL learns the new size from the server, as it would
        // from a manager.
        SDL_Rect place{0, 0, 0, 0};
        if (fullScreen) {
            if (!placedFullScreen_) {
                SDL_GetWindowPosition(window_.get(), &windowedPlace_.x, &windowedPlace_.y);
                SDL_GetWindowSize(window_.get(), &windowedPlace_.w, &windowedPlace_.h);
            }
            SDL_Rect screen{0, 0, 0, 0};
            SDL_GetDisplayBounds(std::max(0, SDL_GetWindowDisplayIndex(window_.get())), &screen);
            const PictureSize size = capDrawnSize(screen.w, screen.h);
            place = {screen.x + (screen.w - size.width) / 2,
                     screen.y + (screen.h - size.height) / 2, size.width, size.height};
            placedFullScreen_ = true;
        } else if (placedFullScreen_) {
            place = {windowedPlace_.x, windowedPlace_.y, windowedPlace_.w, windowedPlace_.h};
            placedFullScreen_ = false;
        }
        if (place.w > 0 && place.h > 0) {
            x.moveResizeWindow(display, window, place.x, place.y, static_cast<unsigned>(place.w),
                               static_cast<unsigned>(place.h));
            x.flush(display);
        }
        return true;
    });
#else
    (void)fullScreen;
    return false;
#endif
}

void SdlMedia::boundWindowWithoutManager() {
#if defined(SDL_VIDEO_DRIVER_X11)
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(window_.get(), &width, &height);
    const PictureSize bound = capDrawnSize(width, height);
    if (bound == PictureSize{width, height})
        return;
    withX11(window_.get(), [&](const Xlib& x, Display* display, Window) {
        if (x.managerRuns(display))
            return false; // the manager keeps the window's size within its hints
        // Through SDL, so that it draws at the bounded size from now on rather than at the
        // size it was told of until the server's answer comes.
        SDL_SetWindowSize(window_.get(), bound.width, bound.height);
        return true;
    });
#endif
}

} // namespace zindle
