// The checksum comparison after each second of a replay.
#include "replay/replay_checker.h"

#include "match/state_checksum.h"
#include "replay/replay_format.h"

namespace zindle {

void ReplayChecker::stepped() {
    ++steps_;
    if (steps_ % replay_format::kStepsPerChecksum != 0)
        return;
    const std::size_t k = static_cast<std::size_t>(steps_ / replay_format::kStepsPerChecksum) - 1;
    if (k >= replay_.checksums.size() || k < checked_)
        return;
    const Game* game = game_ ? game_() : nullptr;
    const std::uint64_t actual = game ? stateChecksum(*game) : 0;
    checked_ = k + 1;
    if (actual != replay_.checksums[k] && !firstMismatch_)
        firstMismatch_ = steps_;
}

} // namespace zindle
