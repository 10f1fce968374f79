// The program in a web page: the web media layer, the guarded start, and the entry points the
// page calls from its animation-frame, keyboard, Gamepad and visibility callbacks. The start
// returns once the stage exists; from then on only these entry points run the game, each under
// the same guard as the start, so an error in any frame reaches the player as on the desktop.
#include "app/application_main.h"
#include "media/web/web_media.h"

#include <emscripten/emscripten.h>

namespace {
zindle::WebMedia* media = nullptr;

void call(const std::function<void()>& body) {
    if (media != nullptr)
        media->guard(body);
}
} // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE void zindle_frame(double interval) {
    call([&] { media->animationFrame(interval); });
}

EMSCRIPTEN_KEEPALIVE void zindle_key(int down, int code, int character, int flags) {
    call([&] { media->key(down != 0, code, character, flags); });
}

EMSCRIPTEN_KEEPALIVE void zindle_joystick(int type, int device, int code, int value) {
    call([&] { media->joystick(type, device, code, value); });
}

EMSCRIPTEN_KEEPALIVE void zindle_active(int active) {
    call([&] { media->setActive(active != 0); });
}

// 1 while the game runs; 0 once it has closed or failed.
EMSCRIPTEN_KEEPALIVE int zindle_running() {
    return media != nullptr && media->running() ? 1 : 0;
}
}

int main() {
    media = &zindle::WebMedia::install();
    media->setFatalHandler(&zindle::ApplicationMain::reportFatal);
    return zindle::ApplicationMain::run();
}
