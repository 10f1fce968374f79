#pragma once
// The application: package strings, the one window and its stage, the root display container.
// Also the small services that sit on it: System, Timer and Mouse.
#include "framework/display_object.h"
#include "framework/media.h"
#include "framework/stage.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace zindle {

class BitmapData;

class Lib {
public:
    // [vestige] Window flags for create. The game passes HARDWARE alone and no backend reads
    // them: full screen comes from the stage's display state, and frames are never vsynced.
    static constexpr unsigned FULLSCREEN = 0x01;
    static constexpr unsigned BORDERLESS = 0x02;
    static constexpr unsigned RESIZABLE = 0x04;
    static constexpr unsigned HARDWARE = 0x08;
    static constexpr unsigned VSYNC = 0x10;
    static constexpr unsigned HW_AA = 0x20;
    static constexpr unsigned HW_AA_HIRES = 0x60;

    Lib() = delete;

    static void setPackage(const std::string& company, const std::string& file,
                           const std::string& packageName, const std::string& version);
    // Opens the window; onLoaded runs once the stage exists. Throws on a second call.
    static void create(std::function<void()> onLoaded, int width, int height,
                       double frameRate = 60.0, std::uint32_t color = 0xFFFFFF,
                       unsigned flags = 0x0F, const std::string& title = "Application",
                       const BitmapData* icon = nullptr);
    // The root display container, made on first use.
    static MovieClip& current();
    // Throws before the window exists.
    static Stage& stage();
    static bool hasStage() { return mediaStage != nullptr; }
    static void close();
    // Forgets the window, stage and package so that another program can start in this process
    // (tests and tools run several).
    static void reset();

    static std::string company;
    static std::string file;
    static std::string packageName;
    static std::string version;
    static int initWidth;
    static int initHeight;
    static bool sIsInit;
    static WindowHandle mediaMainFrame;

private:
    static std::unique_ptr<Stage> mediaStage;
    // Owned here until the stage exists, then by the stage; mediaCurrent observes it either way.
    static std::unique_ptr<MovieClip> pendingCurrent;
    static MovieClip* mediaCurrent;
};

class System {
public:
    System() = delete;
    // Closes the window; the code is not used.
    static void exit(int code);
};

class Timer {
public:
    Timer() = delete;
    // Seconds on the media layer's monotonic clock; only differences matter.
    static double stamp();
};

class Mouse {
public:
    Mouse() = delete;
    static void hide();
    static void show();
};

} // namespace zindle
