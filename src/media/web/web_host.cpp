// The page's side of web_host.h, reached through Module.host, the object the page hands to the
// program when it starts it (page/host.js).
#include "media/web/web_host.h"

#include <emscripten/emscripten.h>

namespace zindle::web_host {

namespace {
// clang-format off
EM_JS(void, jsCreateWindow, (int width, int height, const char* title), {
    Module.host.createWindow(width, height, UTF8ToString(title));
});
EM_JS(void, jsCreateImage, (int handle, int width, int height, const void* rgba), {
    Module.host.createImage(handle >>> 0, width, height,
                            HEAPU8.subarray(rgba, rgba + width * height * 4));
});
EM_JS(void, jsDrawFrame, (int rgb, const void* runs, int runCount, const void* tiles), {
    var runWords = HEAPU32.subarray(runs >> 2, (runs >> 2) + runCount * 3);
    var tileCount = 0;
    for (var i = 0; i < runCount; ++i) tileCount += runWords[i * 3 + 2];
    Module.host.drawFrame(rgb >>> 0, runWords, HEAP16.subarray(tiles >> 1, (tiles >> 1) + tileCount * 6));
});
EM_JS(void, jsSetDisplayState, (int state), { Module.host.setDisplayState(state); });
EM_JS(void, jsSetScaleMode, (int mode), { Module.host.setScaleMode(mode); });
EM_JS(void, jsShowCursor, (int show), { Module.host.showCursor(!!show); });
EM_JS(void, jsClosed, (), { Module.host.closed(); });
EM_JS(void, jsShowError, (const char* caption, const char* text), {
    Module.host.showError(UTF8ToString(caption), UTF8ToString(text));
});
EM_JS(void, jsCopyText, (const char* text), {
    const value = UTF8ToString(text);
    if (navigator.clipboard)
        navigator.clipboard.writeText(value).catch((e) => console.warn('zindle: copy:', e));
});
EM_JS(int, jsLoadSound, (int handle, const char* path, int music), {
    return Module.host.loadSound(handle >>> 0, UTF8ToString(path), !!music) ? 1 : 0;
});
EM_JS(int, jsPlaySound,
      (int channel, int sound, int loops, double volume, double pan, double startSeconds), {
    return Module.host.playSound(channel >>> 0, sound >>> 0, loops, volume, pan, startSeconds)
        ? 1 : 0;
});
EM_JS(void, jsStopChannel, (int channel), { Module.host.stopChannel(channel >>> 0); });
EM_JS(void, jsFadeOutChannel, (int channel, double seconds), {
    Module.host.fadeOutChannel(channel >>> 0, seconds);
});
EM_JS(void, jsSetChannelTransform, (int channel, double volume, double pan), {
    Module.host.setChannelTransform(channel >>> 0, volume, pan);
});
EM_JS(int, jsChannelComplete, (int channel), {
    return Module.host.channelComplete(channel >>> 0) ? 1 : 0;
});
// clang-format on

int asInt(std::uint32_t handle) {
    return static_cast<int>(handle);
}
} // namespace

double now() {
    return emscripten_get_now() / 1000.0;
}
void createWindow(int width, int height, const char* title) {
    jsCreateWindow(width, height, title);
}
void createImage(std::uint32_t handle, int width, int height, const std::uint8_t* rgba) {
    jsCreateImage(asInt(handle), width, height, rgba);
}
void drawFrame(std::uint32_t rgb, const std::uint32_t* runs, int runCount,
               const std::int16_t* tiles) {
    jsDrawFrame(static_cast<int>(rgb), runs, runCount, tiles);
}
void setDisplayState(int state) {
    jsSetDisplayState(state);
}
void setScaleMode(int mode) {
    jsSetScaleMode(mode);
}
void showCursor(bool show) {
    jsShowCursor(show ? 1 : 0);
}
void closed() {
    jsClosed();
}
void showError(const char* caption, const char* text) {
    jsShowError(caption, text);
}
void copyText(const char* text) {
    jsCopyText(text);
}
bool loadSound(std::uint32_t handle, const char* path, bool music) {
    return jsLoadSound(asInt(handle), path, music ? 1 : 0) != 0;
}
bool playSound(std::uint32_t channel, std::uint32_t sound, int loops, double volume, double pan,
               double startSeconds) {
    return jsPlaySound(asInt(channel), asInt(sound), loops, volume, pan, startSeconds) != 0;
}
void stopChannel(std::uint32_t channel) {
    jsStopChannel(asInt(channel));
}
void fadeOutChannel(std::uint32_t channel, double seconds) {
    jsFadeOutChannel(asInt(channel), seconds);
}
void setChannelTransform(std::uint32_t channel, double volume, double pan) {
    jsSetChannelTransform(asInt(channel), volume, pan);
}
bool channelComplete(std::uint32_t channel) {
    return jsChannelComplete(asInt(channel)) != 0;
}

} // namespace zindle::web_host
