#include "sdl_test_support.h"

#include <SDL.h>
#include <SDL_image.h>
#include <lame/lame.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <numbers>
#include <random>
#include <stdexcept>
#include <thread>

namespace zindle::test {

namespace {
constexpr int kRate = 44100;        // Hz
constexpr double kToneHz = 440;     // Hz
constexpr double kAmplitude = 8000; // of 32767

std::vector<std::int16_t> tone(double seconds) {
    std::vector<std::int16_t> samples(static_cast<std::size_t>(seconds * kRate));
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(
            kAmplitude * std::sin(2 * std::numbers::pi * kToneHz * static_cast<double>(i) / kRate));
    return samples;
}

void put(std::ofstream& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}
} // namespace

void useHeadlessDrivers() {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "disk", 0);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 0);
}

ScratchDir::ScratchDir() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("zindle-sdl-test-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(path_);
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void writeWav(const std::string& path, double seconds) {
    const auto samples = tone(seconds);
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    std::ofstream out(path, std::ios::binary);
    out << "RIFF";
    put(out, 36 + dataBytes, 4);
    out << "WAVEfmt ";
    put(out, 16, 4);
    put(out, 1, 2); // PCM
    put(out, 1, 2); // mono
    put(out, kRate, 4);
    put(out, kRate * 2, 4);
    put(out, 2, 2);
    put(out, 16, 2);
    out << "data";
    put(out, dataBytes, 4);
    for (auto s : samples)
        put(out, static_cast<std::uint16_t>(s), 2);
}

void writeMp3(const std::string& path, double seconds) {
    auto samples = tone(seconds);
    lame_global_flags* lame = lame_init();
    lame_set_num_channels(lame, 1);
    lame_set_in_samplerate(lame, kRate);
    lame_set_mode(lame, MONO);
    lame_set_brate(lame, 64);
    if (lame_init_params(lame) < 0)
        throw std::runtime_error("lame would not start");
    std::vector<unsigned char> mp3(samples.size() * 5 / 4 + 7200);
    const int body =
        lame_encode_buffer(lame, samples.data(), samples.data(), static_cast<int>(samples.size()),
                           mp3.data(), static_cast<int>(mp3.size()));
    const int tail =
        lame_encode_flush(lame, mp3.data() + body, static_cast<int>(mp3.size()) - body);
    lame_close(lame);
    if (body < 0 || tail < 0)
        throw std::runtime_error("lame could not encode");
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(mp3.data()), body + tail);
}

void writePng(const std::string& path, int width, int height,
              const std::vector<std::uint32_t>& pixels) {
    SDL_Surface* surface =
        SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_ARGB8888);
    for (int y = 0; y < height; ++y)
        std::memcpy(static_cast<std::uint8_t*>(surface->pixels) + y * surface->pitch,
                    pixels.data() + static_cast<std::size_t>(y * width),
                    static_cast<std::size_t>(width) * 4);
    const int failed = IMG_SavePNG(surface, path.c_str());
    SDL_FreeSurface(surface);
    if (failed != 0)
        throw std::runtime_error("could not write " + path);
}

void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

SdlMedia& freshMedia() {
    useHeadlessDrivers();
    return SdlMedia::install();
}

void runWindow(SdlMedia& media, const std::function<void(StageHandle)>& ready,
               const std::function<void(MediaEvent&)>& handler) {
    media.media_create_main_frame(
        [&](WindowHandle window) {
            const StageHandle stage = media.media_get_frame_stage(window);
            if (handler)
                media.media_set_stage_handler(stage, handler, 480, 320);
            ready(stage);
        },
        480, 320, 0, "Zindle vs Pellorin", BitmapHandle::None);
}

bool waitUntil(const std::function<bool()>& done, double timeout) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

int OddPad::attach() {
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_UNKNOWN; // so that SDL maps it only when told how
    desc.naxes = 3;
    desc.nbuttons = 10;
    desc.nhats = 1;
    desc.vendor_id = 0x1234;
    desc.product_id = 0x5678;
    desc.name = "Odd Pad";
    return SDL_JoystickAttachVirtualEx(&desc);
}

std::string OddPad::mapping(int deviceIndex) {
    char guid[33];
    SDL_JoystickGetGUIDString(SDL_JoystickGetDeviceGUID(deviceIndex), guid, sizeof guid);
    return std::string(guid) +
           ",Odd Pad,a:b3,b:b2,start:b9,back:b8,leftx:a2,lefty:a1,dpleft:h0.8,dpright:h0.2,"
           "dpup:h0.1,dpdown:h0.4,";
}

} // namespace zindle::test
