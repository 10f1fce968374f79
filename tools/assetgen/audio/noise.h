#pragma once
// A tiny seeded generator for the noise waves: the same seed gives the same noise on every run
// and every platform, which the standard library's distributions do not promise.
#include <cstdint>

namespace assetgen::audio {

class Noise {
public:
    explicit Noise(std::uint32_t seed) : state_(seed == 0 ? 0x9E3779B9u : seed) {}

    // Uniform in [-1, 1), from a 32-bit xorshift.
    double next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<double>(state_) / 2147483648.0 - 1.0;
    }

private:
    std::uint32_t state_;
};

} // namespace assetgen::audio
