// Making and reading room codes.
#include "netcode/relay_room_code.h"

#include <array>
#include <cerrno>
#include <stdexcept>
#include <sys/random.h>

namespace zindle::relay {

RandomSource systemRandomSource() {
    return [](std::span<std::uint8_t> out) {
        std::size_t filled = 0;
        while (filled < out.size()) {
            const ssize_t got = getrandom(out.data() + filled, out.size() - filled, 0);
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                throw std::runtime_error("the system random source failed");
            }
            filled += static_cast<std::size_t>(got);
        }
    };
}

RoomCodeText makeRoomCode(int shard, const RandomSource& random) {
    std::array<std::uint8_t, 8> bytes{};
    random(bytes);
    std::uint64_t bits = 0;
    for (std::uint8_t b : bytes)
        bits = (bits << 8) | b;
    RoomCodeText code{};
    code[0] = kCodeAlphabet[static_cast<std::size_t>(shard) % kCodeAlphabet.size()];
    for (std::size_t i = 1; i < kRoomCodeLength; ++i) {
        code[i] = kCodeAlphabet[bits & 31];
        bits >>= 5;
    }
    return code;
}

std::optional<RoomCodeText> parseRoomCode(std::string_view text) {
    if (text.size() != kRoomCodeLength)
        return std::nullopt;
    RoomCodeText code{};
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (kCodeAlphabet.find(c) == std::string_view::npos)
            return std::nullopt;
        code[i] = c;
    }
    return code;
}

std::string toString(const RoomCodeText& code) {
    return std::string(code.begin(), code.end());
}

} // namespace zindle::relay
