// Which renderer draws the window. OpenGL pays off with a graphics card behind it; without one
// (a virtual display, a remote X server) Mesa's software rasteriser takes about 45 ms to start
// and twice the processor time per frame of SDL's own blitter. The X server tells which case
// this is: a server that can hand rendering to a card announces DRI2 or DRI3 (NVIDIA's own
// driver announces NV-GLX instead); Xvfb announces none of them.
#include "media/sdl/sdl_media.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <array>
#include <cstring>

namespace zindle {

namespace {
constexpr std::array<const char*, 3> kDirectRenderingExtensions{"DRI3", "DRI2", "NV-GLX"};

// libX11 is already in the process (SDL's X11 driver loaded it), so it is looked up rather than
// linked: the game keeps building where SDL is built without X11.
using QueryExtension = int (*)(Display*, const char*, int*, int*, int*);

bool serverRendersDirectly(Display* display) {
    void* library = SDL_LoadObject("libX11.so.6");
    if (library == nullptr)
        return true; // cannot tell: keep SDL's usual choice
    const auto query =
        reinterpret_cast<QueryExtension>(SDL_LoadFunction(library, "XQueryExtension"));
    bool direct = query == nullptr;
    for (const char* name : kDirectRenderingExtensions) {
        int opcode = 0;
        int event = 0;
        int error = 0;
        if (query != nullptr && query(display, name, &opcode, &event, &error) != 0)
            direct = true;
    }
    SDL_UnloadObject(library);
    return direct;
}
} // namespace

bool wantsSoftwareRenderer(SDL_Window* window) {
    if (const char* named = SDL_GetHint(SDL_HINT_RENDER_DRIVER); named != nullptr && *named)
        return SDL_strcasecmp(named, "software") == 0;
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr || std::strcmp(driver, "x11") != 0)
        return false;
#if defined(SDL_VIDEO_DRIVER_X11)
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11)
        return false;
    return !serverRendersDirectly(info.info.x11.display);
#else
    (void)window;
    return false;
#endif
}

} // namespace zindle
