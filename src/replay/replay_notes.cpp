// The notes about a replay that the game, the simulator and the frame tool share.
#include "replay/replay_notes.h"

#include "base/rules.h"
#include "base/version.h"
#include "framework/untrusted_text.h"
#include "replay/replay_cursor.h"

namespace zindle {

double matchSecondsAt(const Replay& replay, std::uint64_t step) {
    return (static_cast<double>(step) - static_cast<double>(replay.joinStep)) /
           rules::kStepsPerSecond;
}

std::string whereRecordingStops(const Replay& replay) {
    if (replay.finished)
        return {};
    std::string line = "the recording stops at " +
                       matchClock(matchSecondsAt(replay, replay.steps)) + " of the match";
    if (!replay.cut)
        return line + " (the game ended before the match did)";
    return line + " (the file ends inside block " + std::to_string(replay.cut->wholeBlocks + 1) +
           ", " + std::to_string(replay.cut->bytesLeft) +
           " bytes of it; the whole blocks before it are played)";
}

std::string otherVersionNote(const Replay& replay) {
    if (replay.header.gameVersion == kVersion)
        return {};
    return "recorded by version '" + quoteUntrusted(replay.header.gameVersion) +
           "' of the game; this is " + kVersion;
}

} // namespace zindle
