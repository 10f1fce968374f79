#pragma once
// A fresh headless media layer and a forgotten framework for every test, plus small file helpers.
#include "app/process_state.h"
#include "framework/lib.h"
#include "framework/random.h"
#include "media/headless/headless_media.h"
#include "support/asset_folder.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace zindle::test {

class FrameworkTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetProcessState();
        media_ = &HeadlessMedia::install();
        seedRandom(1);
        dir_ = std::filesystem::temp_directory_path() /
               ("zindle_fw_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        resetProcessState();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    HeadlessMedia& media() { return *media_; }

    // Opens the window as the game does: the stage exists when this returns.
    Stage& openWindow(double frameRate = 60, std::uint32_t colour = 0x85E3FF) {
        Lib::create([] {}, 480, 320, frameRate, colour, Lib::HARDWARE, "Test");
        return Lib::stage();
    }

    std::string writeFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const auto path = (dir_ / name).string();
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    // A short, valid wav, as bytes to write or to break.
    static std::vector<std::uint8_t> tinyWav() {
        const std::string wav = test::tinyWav();
        return {wav.begin(), wav.end()};
    }

private:
    HeadlessMedia* media_ = nullptr;
    std::filesystem::path dir_;
};

} // namespace zindle::test
