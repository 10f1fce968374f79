// The application's start (the one window and its stage), its class-level state and its reset,
// and the small services System, Timer and Mouse.
#include "framework/lib.h"

#include "framework/bitmap_data.h"

#include <stdexcept>

namespace zindle {

std::string Lib::company;
std::string Lib::file;
std::string Lib::packageName;
std::string Lib::version;
int Lib::initWidth = 0;
int Lib::initHeight = 0;
bool Lib::sIsInit = false;
WindowHandle Lib::mediaMainFrame = WindowHandle::None;
std::unique_ptr<Stage> Lib::mediaStage;
std::unique_ptr<MovieClip> Lib::pendingCurrent;
MovieClip* Lib::mediaCurrent = nullptr;

void Lib::setPackage(const std::string& company, const std::string& file,
                     const std::string& packageName, const std::string& version) {
    Lib::company = company;
    Lib::file = file;
    Lib::packageName = packageName;
    Lib::version = version;
    media_set_package(company, file, packageName, version);
}

void Lib::create(std::function<void()> onLoaded, int width, int height, double frameRate,
                 std::uint32_t color, unsigned flags, const std::string& title,
                 const BitmapData* icon) {
    if (sIsInit)
        throw std::runtime_error("Lib.create called multiple times. This function is "
                                 "automatically called by the project code.");
    sIsInit = true;
    initWidth = width;
    initHeight = height;

    auto onWindow = [onLoaded = std::move(onLoaded), width, height, frameRate,
                     color](WindowHandle window) {
        mediaMainFrame = window;
        mediaStage = std::make_unique<Stage>(media_get_frame_stage(window), width, height);
        mediaStage->setFrameRate(frameRate);
        mediaStage->setOpaqueBackground(color);
        mediaStage->onQuit = &Lib::close;
        if (pendingCurrent)
            mediaStage->addChild(std::move(pendingCurrent));
        if (onLoaded)
            onLoaded();
    };
    media_create_main_frame(std::move(onWindow), width, height, flags, title,
                            icon != nullptr ? icon->handle() : BitmapHandle::None);
}

MovieClip& Lib::current() {
    if (mediaCurrent == nullptr) {
        auto clip = std::make_unique<MovieClip>();
        mediaCurrent = clip.get();
        if (mediaStage)
            mediaStage->addChild(std::move(clip));
        else
            pendingCurrent = std::move(clip);
    }
    return *mediaCurrent;
}

Stage& Lib::stage() {
    if (!mediaStage)
        throw std::runtime_error("Error : stage can't be accessed until init is called");
    return *mediaStage;
}

void Lib::close() {
    media_close();
}

void Lib::reset() {
    // The stage owns the root clip once it exists; drop the observer before its owner goes.
    mediaCurrent = nullptr;
    pendingCurrent.reset();
    mediaStage.reset();
    company.clear();
    file.clear();
    packageName.clear();
    version.clear();
    initWidth = 0;
    initHeight = 0;
    sIsInit = false;
    mediaMainFrame = WindowHandle::None;
}

void System::exit(int /*code*/) {
    Lib::close();
}

double Timer::stamp() {
    return media_time_stamp();
}

void Mouse::hide() {
    Lib::stage().showCursor(false);
}

void Mouse::show() {
    Lib::stage().showCursor(true);
}

} // namespace zindle
