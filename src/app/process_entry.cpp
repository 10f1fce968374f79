// The process entry of the game itself: the SDL media layer, the places the data is looked
// for, then the guarded start.
#include "app/application_main.h"
#include "framework/assets.h"
#include "media/sdl/sdl_media.h"

#include <exception>
#include <filesystem>
#include <iostream>
#include <system_error>
#include <vector>

int main() {
    try {
        zindle::SdlMedia::install();
    } catch (const std::exception& e) {
        std::cerr << e.what() << std::endl;
        return 1;
    }

    // Next to the executable first, so the game starts from any working directory.
    std::vector<std::filesystem::path> roots;
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error)
        roots.push_back(exe.parent_path());
    const auto cwd = std::filesystem::current_path(error);
    if (!error)
        roots.push_back(cwd);
    zindle::Assets::setSearchRoots(std::move(roots));

    return zindle::ApplicationMain::run();
}
