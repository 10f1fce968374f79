#include "support/asset_folder.h"

#include "framework/assets.h"
#include "support/hostile_sounds.h"

#include <atomic>
#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <unistd.h>

namespace zindle::test {

namespace {

void putLe(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

} // namespace

std::string tinyWav() {
    constexpr std::uint32_t kRate = 22050;
    constexpr std::uint32_t kSamples = 64;
    constexpr std::uint32_t kDataBytes = kSamples * 2;
    std::string wav = "RIFF";
    putLe(wav, 36 + kDataBytes, 4);
    wav += "WAVEfmt ";
    putLe(wav, 16, 4);        // fmt chunk size
    putLe(wav, 1, 2);         // PCM
    putLe(wav, 1, 2);         // mono
    putLe(wav, kRate, 4);     // sample rate
    putLe(wav, kRate * 2, 4); // byte rate
    putLe(wav, 2, 2);         // block align
    putLe(wav, 16, 2);        // bits per sample
    wav += "data";
    putLe(wav, kDataBytes, 4);
    for (std::uint32_t i = 0; i < kSamples; ++i)
        putLe(wav, (i % 16 < 8) ? 0x2000 : 0xE000, 2); // a quiet square wave
    return wav;
}

AssetFolder::AssetFolder() {
    static std::atomic<int> counter{0};
    root_ = std::filesystem::temp_directory_path() /
            ("zindle-assets-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_ / "assets");
    Assets::setSearchRoots({root_});
    previousWorkingDirectory_ = std::filesystem::current_path();
    std::filesystem::current_path(root_);
}

AssetFolder::~AssetFolder() {
    std::error_code ignored;
    std::filesystem::current_path(previousWorkingDirectory_, ignored);
    std::filesystem::remove_all(root_, ignored);
}

void AssetFolder::write(const std::string& relative, std::string_view bytes) const {
    const auto file = root_ / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + file.string());
}

void AssetFolder::writeWav(const std::string& relative) const {
    write(relative, tinyWav());
}

void AssetFolder::copyTestData(const std::string& dataFile, const std::string& relative) const {
    const auto target = root_ / relative;
    std::filesystem::create_directories(target.parent_path());
    std::filesystem::copy_file(std::filesystem::path(ZINDLE_TEST_DATA) / dataFile, target,
                               std::filesystem::copy_options::overwrite_existing);
}

void AssetFolder::writeAllEffects() const {
    const struct {
        const char* stem;
        int count;
    } effects[] = {{"pickup_coin", 5}, {"laser_shoot", 5}, {"explosion", 5},
                   {"power_up", 5},    {"hit_hurt", 5},    {"jump", 10}};
    for (const auto& effect : effects)
        for (int n = 1; n <= effect.count; ++n)
            writeWav("assets/" + std::string(effect.stem) + std::to_string(n) + ".wav");
}

void AssetFolder::writeStartUpData() const {
    writeAllEffects();
    for (const char* atlas : {"assets/gametiles", "assets/title"}) {
        copyTestData("atlas_64x32.png", std::string(atlas) + ".png");
        write(std::string(atlas) + ".txt", "# no tiles\n");
    }
    write("assets/Orbwright-Velvetdusk-08Brightloop(featuringQuietharbor).mp3", silentMp3Frames());
    write("assets/Orbwright-Velvetdusk-16TakeThisOne.mp3", silentMp3Frames());
}

} // namespace zindle::test
