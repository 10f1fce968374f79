#pragma once
// The lines every program that plays a replay says about it: where a recording that does not
// reach the end of its match stops, and a recording made by another version of the game. The
// header's text comes from the file, so it is quoted: a file cannot steer the terminal.
#include "replay/replay.h"

#include <cstdint>
#include <string>

namespace zindle {

// Seconds of the match (from the first join) at step, counted from the game's start.
double matchSecondsAt(const Replay& replay, std::uint64_t step);
// Where an unfinished recording stops and why ("the recording stops at 1:15.9 of the match
// (...)"), or empty for one that reaches the end of its match.
std::string whereRecordingStops(const Replay& replay);
// "recorded by version X of the game; this is Y", or empty when X is this version.
std::string otherVersionNote(const Replay& replay);

} // namespace zindle
