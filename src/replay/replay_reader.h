#pragma once
// Reading a replay file, which may come from anywhere: a file that is not a replay, comes
// from a newer game, is cut short, damaged or too large is refused with one line that says so,
// after bounded work and memory.
#include "replay/replay.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>

namespace zindle {

// What is wrong with a replay; what() is one line naming the file when it is known.
class ReplayError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The replay in bytes; throws ReplayError with the problem (no file name).
Replay parseReplay(std::span<const std::uint8_t> bytes);
// Reads and parses a regular file of at most replay_format::kMaxFileBytes; throws ReplayError
// whose message starts with the file's name.
Replay readReplayFile(const std::filesystem::path& path);

} // namespace zindle
