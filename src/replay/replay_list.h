#pragma once
// The replays a player may choose from: the newest in the folder, each with when it was
// played, how long its match ran and who played in it.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zindle {

struct ReplaySummary {
    std::filesystem::path file;
    std::int64_t date = 0; // seconds since 1970 (UTC) when the match began
    double seconds = 0;    // from the first join to the recording's end
    std::string players;   // "1 2 CPU4": who joined, and whom the computer played
    std::string problem;   // one line when the file is no replay to watch; empty otherwise
};

// The newest replays in folder, newest first, at most count; files not named as replays are
// left alone.
std::vector<std::filesystem::path> newestReplays(const std::filesystem::path& folder,
                                                 std::size_t count);
// Reads file; a file that cannot be read is a summary with its problem.
ReplaySummary summarizeReplay(const std::filesystem::path& file);
// One line for a list: "2026-12-07 17:04  1:05  1 2 CPU4", in local time; or the problem.
std::string describeReplay(const ReplaySummary& summary);

} // namespace zindle
