#pragma once
// Helpers for the SDL backend's tests: SDL's headless drivers, a scratch folder, and small
// sound and image files written on the spot.
#include "framework/media.h"
#include "media/sdl/sdl_media.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace zindle::test {

// Dummy video and disk audio (into /dev/null), unless the environment chose others.
void useHeadlessDrivers();

// A fresh folder, removed with everything in it when the object goes.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// A mono 16-bit 44.1 kHz tone of the given length.
void writeWav(const std::string& path, double seconds);
// The same tone as an MP3.
void writeMp3(const std::string& path, double seconds);
// A PNG of the given size from 0xAARRGGBB pixels, row by row.
void writePng(const std::string& path, int width, int height,
              const std::vector<std::uint32_t>& pixels);
void writeText(const std::string& path, const std::string& text);

// Installs a fresh SDL backend with the headless drivers.
SdlMedia& freshMedia();

// Opens the 480 by 320 window and runs the event loop. ready runs when the window exists,
// with its stage; handler gets every record the loop delivers. Either must call media_close.
void runWindow(SdlMedia& media, const std::function<void(StageHandle)>& ready,
               const std::function<void(MediaEvent&)>& handler = nullptr);

// Waits (up to timeout seconds, polling) until done() holds; returns whether it did.
bool waitUntil(const std::function<bool()>& done, double timeout);

// A virtual pad whose raw layout is unlike the common one, as some pads are under Linux's own
// drivers: Start is button 9, the south face button 3, the left stick axis 2, the D-pad hat 0.
struct OddPad {
    static constexpr int kStart = 9;
    static constexpr int kSouth = 3;
    static constexpr int kStick = 2;
    // Attaches one and returns its device index; SDL announces it to the event loop, which
    // opens it as a game controller if a mapping for it exists by then.
    static int attach();
    // Its mapping line in SDL's format.
    static std::string mapping(int deviceIndex);
};

} // namespace zindle::test
