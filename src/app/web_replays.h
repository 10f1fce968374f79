#pragma once
// The replays of the program in a page: local and online matches are both recorded into the
// same in-memory folder, from which the page copies each finished one into its own storage.
#include <cstddef>
#include <string>

namespace zindle::web {

inline constexpr const char* kReplayFolder = "/replays";
// The page keeps its own copies: the in-memory files need only outlast the hand-over.
inline constexpr std::size_t kReplaysInMemory = 5;

// The online match's replay once its recording has ended, each only once; empty when there is
// none (no online match, still recording, or nothing confirmed to record).
std::string takeFinishedOnlineReplay();
// The online match's replay while it is still being written; empty when there is none.
std::string onlineReplayInProgress();

} // namespace zindle::web
