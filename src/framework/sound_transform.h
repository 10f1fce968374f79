#pragma once
// A sound's volume and stereo pan: what the game sets on a channel, and what the media layer
// receives unchanged.

namespace zindle {

struct SoundTransform {
    explicit SoundTransform(double volume = 1, double pan = 0) : pan(pan), volume(volume) {}
    double pan;    // -1 left to 1 right
    double volume; // 1 is the recorded level
};

} // namespace zindle
