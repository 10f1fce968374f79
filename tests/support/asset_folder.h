#pragma once
// A temporary folder laid out like the game's data folder ("assets/..."), made the asset
// catalogue's only search root and the working directory for the life of the object, so that a
// path the catalogue passes on unresolved cannot reach the game's real data either.
#include <filesystem>
#include <string>
#include <string_view>

namespace zindle::test {

class AssetFolder {
public:
    AssetFolder();
    ~AssetFolder();
    AssetFolder(const AssetFolder&) = delete;
    AssetFolder& operator=(const AssetFolder&) = delete;

    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path path(const std::string& relative) const { return root_ / relative; }
    // Writes bytes to root/relative, creating folders as needed.
    void write(const std::string& relative, std::string_view bytes) const;
    // A short, valid 16-bit mono PCM wav.
    void writeWav(const std::string& relative) const;
    // Copies a file from tests/data.
    void copyTestData(const std::string& dataFile, const std::string& relative) const;
    // All 35 sound effects of the catalogue.
    void writeAllEffects() const;
    // Everything the game loads at start-up: the effects, both atlases (small images with
    // empty tile lists) and both music tracks (a few silent MP3 frames).
    void writeStartUpData() const;

private:
    std::filesystem::path root_;
    std::filesystem::path previousWorkingDirectory_;
};

// The bytes of a short, valid 16-bit mono PCM wav.
std::string tinyWav();

} // namespace zindle::test
