#pragma once
// Where replays are kept and how many: $XDG_DATA_HOME/zindle-vs-pellorin/replays (or
// ~/.local/share/...), one file per match named by its date and time, the newest 100 and at
// most 100 MB kept. Only files named as replays are ever counted or removed.
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>

namespace zindle {

inline constexpr std::size_t kReplaysKept = 100;
inline constexpr std::uintmax_t kReplayBytesKept = 100u * 1000 * 1000;
inline constexpr std::string_view kReplayExtension = ".replay";

// Why replayFolder() gave no folder, for the line that says matches go unrecorded.
inline constexpr const char* kNoReplayFolder =
    "neither XDG_DATA_HOME nor HOME names a folder for them";
// The folder from the two variables' values (null when unset); empty when neither gives one.
// A relative XDG_DATA_HOME is ignored, as the XDG rules ask.
std::filesystem::path replayFolderFor(const char* xdgDataHome, const char* home);
// The same from this process's environment.
std::filesystem::path replayFolder();
// "2026-12-07_17-04-31.replay" in local time; attempt n > 0 adds "-n" (two matches in one
// second).
std::string replayFileName(std::time_t when, int attempt);
// Whether name is one replayFileName could have made (with extension in place of .replay:
// F12's clips are named alike, as .gif).
bool isReplayFileName(const std::string& name, std::string_view extension = kReplayExtension);
// Removes the oldest replays until at most maxFiles remain and they take at most maxBytes;
// keep is never removed, and counts first. With another extension, the files so named (the
// clips), counted apart from the replays.
void pruneReplays(const std::filesystem::path& folder, const std::filesystem::path& keep,
                  std::size_t maxFiles = kReplaysKept, std::uintmax_t maxBytes = kReplayBytesKept,
                  std::string_view extension = kReplayExtension);

} // namespace zindle
