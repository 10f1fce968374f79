// Start-up: who the application is, the one window, and Main once its stage exists; and the
// guard that turns an escaping error into a message and a failure status.
#include "app/application_main.h"

#include "base/version.h"
#include "framework/assets.h"
#include "framework/lib.h"
#include "framework/media.h"
#include "loop/main.h"

#include <cstdint>
#include <exception>
#include <iostream>

namespace zindle {

namespace {
constexpr int kStageWidth = 480;             // px
constexpr int kStageHeight = 320;            // px
constexpr double kFrameRate = 60.0;          // frames per second
constexpr std::uint32_t kSkyBlue = 0x85E3FF; // the window's clear colour
constexpr const char* kTitle = "Zindle vs Pellorin";
} // namespace

void ApplicationMain::reportFatal(const std::string& text) {
    // Standard error first: the box waits for the player, and whoever reads the log (or the
    // box cannot be shown at all) must not wait with it.
    std::cerr << text << std::endl;
    try {
        media_show_error("Error", text);
    } catch (...) {
    }
}

void ApplicationMain::main() {
    // Without the data folder the first load would fail on one file; saying where the folder
    // was looked for is what the player needs to mend an installation.
    Assets::dataFolder();
    Lib::setPackage("ZindleAndPellorin", "MyApplication", "org.zindle.game", kVersion);
    Lib::create([] { Main::main(); }, kStageWidth, kStageHeight, kFrameRate, kSkyBlue,
                Lib::HARDWARE, kTitle);
}

int ApplicationMain::run() {
    // The event loop runs inside Lib::create, so this also catches errors from any frame or
    // input handler. A failure must show as a failure to whoever started the program.
    try {
        main();
    } catch (const std::exception& e) {
        reportFatal(e.what());
        return 1;
    } catch (...) {
        reportFatal("Unknown error");
        return 1;
    }
    return 0;
}

} // namespace zindle
