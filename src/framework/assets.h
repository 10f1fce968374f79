#pragma once
// The catalogue of the files that come with the game: an id (the relative path) becomes an
// image, a text, the bytes or a sound. Unknown ids are reported with one line on standard
// output and give null.
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zindle {

class BitmapData;
class Sound;
class Font; // the catalogue holds no fonts

class Assets {
public:
    Assets() = delete;

    static void initialize();
    static std::shared_ptr<BitmapData> getBitmapData(const std::string& id, bool useCache = true);
    static std::optional<std::vector<std::uint8_t>> getBytes(const std::string& id);
    static std::optional<std::string> getText(const std::string& id);
    // Throws SoundLoadError when a catalogued sound cannot be loaded.
    static std::shared_ptr<Sound> getSound(const std::string& id);
    static std::shared_ptr<Font> getFont(const std::string& id);
    static std::optional<std::string> getResourceName(const std::string& id);

    // Where relative paths are looked up, first match wins: by default the folder of the
    // executable, then the installed data folder relative to it, then the working directory.
    static void setSearchRoots(std::vector<std::filesystem::path> roots);
    // The first search root's data folder ("assets") that exists; throws, naming every place
    // it looked, when there is none: without its data the game cannot start.
    static std::filesystem::path dataFolder();
    // The path handed to the media layer for a catalogued relative path.
    static std::string resolve(const std::string& path);
    // Empties the catalogue and the cache (tests).
    static void reset();

    static std::map<std::string, std::shared_ptr<BitmapData>> cachedBitmapData;
    static bool initialized;
    static std::map<std::string, std::string> resourceNames;
    static std::map<std::string, std::string> resourceTypes;
};

} // namespace zindle
