#pragma once
// Watching a replay chosen in the menu in place of play, and play again after it: the live
// recording ends, the game starts again from the replay's seed under the viewer, and ESC in the
// viewer brings a new game, recorded as before.
#include "loop/frame_hooks.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace zindle {

class ReplayWatching {
public:
    ReplayWatching() = delete;

    // The recorder of a new live game started from seed; the process entry knows where its
    // replays go. Null: play after a replay is not recorded.
    static std::function<std::unique_ptr<MatchTap>(std::uint64_t seed)> makeRecorder;
    // Starts watching file; the problem, in one line, when it is no replay to watch (play then
    // goes on untouched).
    static std::optional<std::string> watch(const std::filesystem::path& file);
    // Back to a new live game, at the end of this frame.
    static void leave();
};

} // namespace zindle
