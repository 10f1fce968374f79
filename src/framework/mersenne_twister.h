#pragma once
// The 64-bit Mersenne Twister, giving exactly the numbers of std::mt19937_64, with its state in
// the open: a match's generator must travel between machines whose standard libraries write
// that engine's state in different forms, so the game keeps its own.
#include <array>
#include <cstddef>
#include <cstdint>

namespace zindle {

class MersenneTwister64 {
public:
    static constexpr std::size_t kWords = 312;

    explicit MersenneTwister64(std::uint64_t seed = 5489) { this->seed(seed); }

    void seed(std::uint64_t value) {
        words[0] = value;
        for (std::size_t i = 1; i < kWords; ++i) {
            const std::uint64_t last = words[i - 1];
            words[i] = kInitMultiplier * (last ^ (last >> 62)) + i;
        }
        next = kWords;
    }

    std::uint64_t operator()() {
        if (next >= kWords)
            twist();
        std::uint64_t y = words[next++];
        y ^= (y >> 29) & 0x5555555555555555ull;
        y ^= (y << 17) & 0x71D67FFFEDA60000ull;
        y ^= (y << 37) & 0xFFF7EEE000000000ull;
        y ^= y >> 43;
        return y;
    }

    bool operator==(const MersenneTwister64&) const = default;

    // The words of the current block, and the one the next number is tempered from
    // (kWords: the block is used up and the next number makes a new one).
    std::array<std::uint64_t, kWords> words{};
    std::size_t next = kWords;

private:
    static constexpr std::size_t kShift = 156;
    static constexpr std::uint64_t kInitMultiplier = 6364136223846793005ull;
    static constexpr std::uint64_t kMatrix = 0xB5026F5AA96619E9ull;
    static constexpr std::uint64_t kUpper = 0xFFFFFFFF80000000ull; // the top 33 bits
    static constexpr std::uint64_t kLower = 0x7FFFFFFFull;         // the low 31 bits

    void twist() {
        for (std::size_t i = 0; i < kWords; ++i) {
            const std::uint64_t x = (words[i] & kUpper) | (words[(i + 1) % kWords] & kLower);
            const std::uint64_t shifted = (x >> 1) ^ ((x & 1) != 0 ? kMatrix : 0);
            words[i] = words[(i + kShift) % kWords] ^ shifted;
        }
        next = 0;
    }
};

} // namespace zindle
