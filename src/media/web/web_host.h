#pragma once
// The calls from the program to its page (page/host.js), which keeps the canvas, the
// audio graph and the browser's events. Handles are the program's own numbers; the page keeps
// what stands behind them (textures, decoded sounds, playing sources).
#include <cstdint>

namespace zindle::web_host {

// Seconds on the page's monotonic clock.
double now();
void createWindow(int width, int height, const char* title);
// Uploads an image as four bytes a pixel (straight alpha), rows top to bottom.
void createImage(std::uint32_t handle, int width, int height, const std::uint8_t* rgba);
// Draws a frame: cleared to rgb, then runs of tiles (see WebMedia) in order, and presents it.
void drawFrame(std::uint32_t rgb, const std::uint32_t* runs, int runCount,
               const std::int16_t* tiles);
void setDisplayState(int state);
void setScaleMode(int mode);
void showCursor(bool show);
// The program has ended (where the desktop closes its window).
void closed();
void showError(const char* caption, const char* text);
// Asks the browser to put text on the clipboard; a browser that refuses says so on its console.
void copyText(const char* text);

// False when the page has no such file or cannot use it as a sound.
bool loadSound(std::uint32_t handle, const char* path, bool music);
// False when the sound cannot be played. Music starts startSeconds into its loop.
bool playSound(std::uint32_t channel, std::uint32_t sound, int loops, double volume, double pan,
               double startSeconds);
void stopChannel(std::uint32_t channel);
// Fades the channel out over seconds, then ends it: a voice that gives way to a newer one.
void fadeOutChannel(std::uint32_t channel, double seconds);
void setChannelTransform(std::uint32_t channel, double volume, double pan);
bool channelComplete(std::uint32_t channel);

} // namespace zindle::web_host
