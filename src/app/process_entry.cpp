// The process entry of the game itself: the SDL media layer, then the guarded start. The data
// is looked for next to the executable, then in the working directory (the catalogue's default).
#include "app/application_main.h"
#include "app/pacing_log.h"
#include "media/sdl/sdl_media.h"

#include <exception>
#include <iostream>

int main() {
    try {
        zindle::SdlMedia::install().setPresentObserver(zindle::PacingLog::fromEnvironment());
    } catch (const std::exception& e) {
        // No media layer means no message box either: standard error is all there is.
        std::cerr << e.what() << std::endl;
        return 1;
    }
    return zindle::ApplicationMain::run();
}
