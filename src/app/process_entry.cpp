// The process entry of the game itself: the command line, the SDL media layer, then the guarded
// start. The data folder is looked for beside the executable, then in the installed data folder,
// then in the working directory (the catalogue's search roots).
#include "app/application_main.h"
#include "app/command_line.h"
#include "app/main.h"
#include "app/pacing_log.h"
#include "framework/assets.h"
#include "framework/random.h"
#include "media/sdl/sdl_media.h"

#include <exception>
#include <iostream>
#include <string>
#include <vector>

namespace {
// Pads SDL does not know, mapped by the players' own lines; shipped with the data.
constexpr const char* kPadMappings = "assets/gamecontrollerdb.txt";
} // namespace

int main(int argc, char** argv) {
    using zindle::CommandLine;
    const CommandLine line = CommandLine::parse(std::vector<std::string>(argv + 1, argv + argc));
    switch (line.action) {
    case CommandLine::Action::Help:
        std::cout << CommandLine::help();
        return CommandLine::kAnswered;
    case CommandLine::Action::Version:
        std::cout << CommandLine::version();
        return CommandLine::kAnswered;
    case CommandLine::Action::Refuse:
        std::cerr << "zindle: " << line.refusal << '\n' << CommandLine::usage();
        return CommandLine::kRefused;
    case CommandLine::Action::Play:
        break;
    }
    try {
        auto& media = zindle::SdlMedia::install();
        media.setPresentObserver(zindle::PacingLog::fromEnvironment());
        if (line.mute)
            media.mute();
        if (line.windowed)
            media.fitWindowToScreen();
        media.useControllerMappings(zindle::Assets::resolve(kPadMappings));
    } catch (const std::exception& e) {
        // No media layer means no message box either: standard error is all there is.
        std::cerr << e.what() << std::endl;
        return 1;
    }
    if (line.seed)
        zindle::seedRandom(*line.seed);
    zindle::Main::startFullScreen = !line.windowed;
    return zindle::ApplicationMain::run();
}
