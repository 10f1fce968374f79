#pragma once
// Pad mappings shipped with the game's data, in SDL's own format: one pad a line,
// "GUID,name,a:b0,start:b7,leftx:a0,...", optionally "platform:Linux,"; "#" starts a comment.
// Players extend it for a pad SDL does not know, as they do for other SDL games.
#include <string>
#include <string_view>

namespace zindle {

// Adds the mappings in text that are meant for this platform (lines for other platforms are
// skipped, as SDL does). Returns one line naming source and what was wrong when some lines
// could not be used, and an empty string when all was well. SDL's game-controller subsystem
// must be running.
std::string addControllerMappings(std::string_view text, const std::string& source);

} // namespace zindle
