// The fixed catalogue of the files that come with the game. Ids are the relative paths; where
// those paths are found on disk is decided here, once, by the search roots.
#include "framework/assets.h"

#include "framework/bitmap_data.h"
#include "framework/media.h"
#include "framework/sound.h"

#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <stdexcept>
#include <system_error>

namespace zindle {

std::map<std::string, std::shared_ptr<BitmapData>> Assets::cachedBitmapData;
bool Assets::initialized = false;
std::map<std::string, std::string> Assets::resourceNames;
std::map<std::string, std::string> Assets::resourceTypes;

namespace {

struct CatalogueEntry {
    const char* path; // also the id
    const char* kind; // "image", "text", "music" or "sound"
};

// In registration order. The effects are sorted by name as text, so "jump10" follows "jump1".
constexpr std::array<CatalogueEntry, 41> kCatalogue{{
    {"assets/gametiles.png", "image"},
    {"assets/title.png", "image"},
    {"assets/gametiles.txt", "text"},
    {"assets/title.txt", "text"},
    {"assets/Orbwright-Velvetdusk-08Brightloop(featuringQuietharbor).mp3", "music"},
    {"assets/Orbwright-Velvetdusk-16TakeThisOne.mp3", "music"},
    {"assets/explosion1.wav", "sound"},
    {"assets/explosion2.wav", "sound"},
    {"assets/explosion3.wav", "sound"},
    {"assets/explosion4.wav", "sound"},
    {"assets/explosion5.wav", "sound"},
    {"assets/hit_hurt1.wav", "sound"},
    {"assets/hit_hurt2.wav", "sound"},
    {"assets/hit_hurt3.wav", "sound"},
    {"assets/hit_hurt4.wav", "sound"},
    {"assets/hit_hurt5.wav", "sound"},
    {"assets/jump1.wav", "sound"},
    {"assets/jump10.wav", "sound"},
    {"assets/jump2.wav", "sound"},
    {"assets/jump3.wav", "sound"},
    {"assets/jump4.wav", "sound"},
    {"assets/jump5.wav", "sound"},
    {"assets/jump6.wav", "sound"},
    {"assets/jump7.wav", "sound"},
    {"assets/jump8.wav", "sound"},
    {"assets/jump9.wav", "sound"},
    {"assets/laser_shoot1.wav", "sound"},
    {"assets/laser_shoot2.wav", "sound"},
    {"assets/laser_shoot3.wav", "sound"},
    {"assets/laser_shoot4.wav", "sound"},
    {"assets/laser_shoot5.wav", "sound"},
    {"assets/pickup_coin1.wav", "sound"},
    {"assets/pickup_coin2.wav", "sound"},
    {"assets/pickup_coin3.wav", "sound"},
    {"assets/pickup_coin4.wav", "sound"},
    {"assets/pickup_coin5.wav", "sound"},
    {"assets/power_up1.wav", "sound"},
    {"assets/power_up2.wav", "sound"},
    {"assets/power_up3.wav", "sound"},
    {"assets/power_up4.wav", "sound"},
    {"assets/power_up5.wav", "sound"},
}};

// The folder under each search root that holds the data files, as the catalogue's ids say.
constexpr const char* kDataFolder = "assets";

// The game is started from anywhere (a desktop launcher, a shell in another folder), so the
// data is looked for next to the executable (a build tree), then where an installation puts it
// relative to the executable (so an installed tree still works once moved), then in the working
// directory.
std::vector<std::filesystem::path> defaultSearchRoots() {
    std::vector<std::filesystem::path> roots;
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        roots.push_back(exe.parent_path());
        roots.push_back((exe.parent_path() / ZINDLE_DATA_FROM_EXE).lexically_normal());
    }
    const auto cwd = std::filesystem::current_path(error);
    if (!error)
        roots.push_back(cwd);
    return roots;
}

std::optional<std::vector<std::filesystem::path>> searchRoots; // unset: the defaults

const std::vector<std::filesystem::path>& roots() {
    if (!searchRoots)
        searchRoots = defaultSearchRoots();
    return *searchRoots;
}

std::string kindOf(const std::string& id) {
    const auto it = Assets::resourceTypes.find(id);
    return it != Assets::resourceTypes.end() ? it->second : std::string();
}

} // namespace

void Assets::initialize() {
    if (initialized)
        return;
    for (const CatalogueEntry& entry : kCatalogue) {
        resourceNames[entry.path] = entry.path;
        resourceTypes[entry.path] = entry.kind;
    }
    initialized = true;
}

std::shared_ptr<BitmapData> Assets::getBitmapData(const std::string& id, bool useCache) {
    initialize();
    if (kindOf(id) != "image") {
        std::cout << "[Assets] There is no BitmapData asset with an ID of \"" << id << "\""
                  << std::endl;
        return nullptr;
    }
    if (useCache) {
        const auto cached = cachedBitmapData.find(id);
        if (cached != cachedBitmapData.end())
            return cached->second;
    }
    // An unreadable image still gives an object (without a native image); it is cached too, so
    // a broken file is tried once.
    auto bitmap = BitmapData::load(resolve(resourceNames.at(id)));
    if (useCache)
        cachedBitmapData[id] = bitmap;
    return bitmap;
}

std::optional<std::vector<std::uint8_t>> Assets::getBytes(const std::string& id) {
    initialize();
    const auto it = resourceNames.find(id);
    if (it == resourceNames.end()) {
        std::cout << "[Assets] There is no String or ByteArray asset with an ID of \"" << id << "\""
                  << std::endl;
        return std::nullopt;
    }
    return media_byte_array_read_file(resolve(it->second));
}

std::optional<std::string> Assets::getText(const std::string& id) {
    auto bytes = getBytes(id);
    if (!bytes)
        return std::nullopt;
    return std::string(bytes->begin(), bytes->end());
}

std::shared_ptr<Sound> Assets::getSound(const std::string& id) {
    initialize();
    const std::string kind = kindOf(id);
    if (kind != "sound" && kind != "music") {
        std::cout << "[Assets] There is no Sound asset with an ID of \"" << id << "\"" << std::endl;
        return nullptr;
    }
    // Not cached: each caller gets its own sound. Music may be streamed rather than decoded.
    return std::make_shared<Sound>(resolve(resourceNames.at(id)), kind == "music");
}

std::shared_ptr<Font> Assets::getFont(const std::string& id) {
    initialize();
    std::cout << "[Assets] There is no Font asset with an ID of \"" << id << "\"" << std::endl;
    return nullptr;
}

std::optional<std::string> Assets::getResourceName(const std::string& id) {
    initialize();
    const auto it = resourceNames.find(id);
    if (it == resourceNames.end())
        return std::nullopt;
    return it->second;
}

void Assets::setSearchRoots(std::vector<std::filesystem::path> newRoots) {
    searchRoots = std::move(newRoots);
}

std::string Assets::resolve(const std::string& path) {
    const std::filesystem::path relative(path);
    if (relative.is_absolute())
        return path;
    std::optional<std::filesystem::path> firstOther;
    for (const auto& root : roots()) {
        const auto candidate = root / relative;
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error))
            return candidate.string();
        if (!firstOther &&
            std::filesystem::exists(std::filesystem::symlink_status(candidate, error)))
            firstOther = candidate;
    }
    // Something that is not a file (a folder, a FIFO, a device) goes to the media layer as it
    // is, so that its refusal names what is really there; not found anywhere, the path as it is.
    return firstOther ? firstOther->string() : path;
}

std::filesystem::path Assets::dataFolder() {
    std::string lookedIn;
    for (const auto& root : roots()) {
        const auto folder = root / kDataFolder;
        // A folder that is there but closed to this user (no permission to enter it, or to
        // reach it) would fail every file in it on its own, none saying why: it is named once,
        // with the reason, instead. Entering it is what "folder/." needs.
        struct stat info {};
        const bool there = ::stat(folder.c_str(), &info) == 0;
        const int reason = there ? 0 : errno;
        if (there && S_ISDIR(info.st_mode)) {
            if (::stat((folder / ".").c_str(), &info) != 0)
                throw std::runtime_error("The game's data folder " + folder.string() +
                                         " cannot be read: " + std::strerror(errno));
            return folder;
        }
        if (!there && reason != ENOENT && reason != ENOTDIR)
            throw std::runtime_error("The game's data folder " + folder.string() +
                                     " cannot be reached: " + std::strerror(reason));
        lookedIn += (lookedIn.empty() ? "" : ", ") + folder.string();
    }
    throw std::runtime_error("The game's data folder is missing; looked in: " +
                             (lookedIn.empty() ? std::string("nowhere") : lookedIn));
}

void Assets::reset() {
    cachedBitmapData.clear();
    resourceNames.clear();
    resourceTypes.clear();
    initialized = false;
    searchRoots.reset();
}

} // namespace zindle
