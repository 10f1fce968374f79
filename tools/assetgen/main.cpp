// zindle-assetgen: writes every file of assets/ from the sources in assets-src/.
// Usage: zindle-assetgen [SOURCE_DIR [OUTPUT_DIR]] (defaults: assets-src, assets)
#include "art/art.h"
#include "audio/audio.h"

#include <exception>
#include <filesystem>
#include <iostream>

int main(int argc, char** argv) {
    const std::filesystem::path source = argc > 1 ? argv[1] : "assets-src";
    const std::filesystem::path output = argc > 2 ? argv[2] : "assets";
    try {
        std::filesystem::create_directories(output);
        assetgen::generateArt(source, output);
        assetgen::generateAudio(source, output);
        // The pad mappings are written by hand; they travel with the data as they are.
        std::filesystem::copy_file(source / "gamecontrollerdb.txt", output / "gamecontrollerdb.txt",
                                   std::filesystem::copy_options::overwrite_existing);
    } catch (const std::exception& e) {
        std::cerr << "zindle-assetgen: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
