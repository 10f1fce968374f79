#pragma once

namespace zindle {

struct SoundTransform {
    explicit SoundTransform(double volume = 1, double pan = 0) : pan(pan), volume(volume) {}
    double pan;    // -1 left to 1 right
    double volume; // 1 is the recorded level
};

} // namespace zindle
