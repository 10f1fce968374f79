#pragma once
// Pad mappings shipped with the game's data, in SDL's own format: one pad a line,
// "GUID,name,a:b0,start:b7,leftx:a0,...", optionally "platform:Linux,"; "#" starts a comment.
// Players extend it for a pad SDL does not know, as they do for other SDL games.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zindle {

// SDL walks its whole list of mappings for every one added, so the work grows with the square
// of their number: a file may hand it at most this many pads (far more than any real list
// holds for one platform), each line at most so long.
constexpr std::size_t kMaxPadMappings = 2000;
constexpr std::size_t kMaxPadMappingBytes = 1024;

struct PadMapping {
    std::string_view text; // one line of the file, trimmed
    std::size_t line;      // its number, 1 for the first
};

// What a mapping file holds for one platform, before SDL sees any of it.
struct PadMappingSelection {
    // The lines to hand to SDL, in this order: the last line for each pad (a later line for the
    // same GUID replaces an earlier one, as it would in SDL), in the order of those last lines.
    std::vector<PadMapping> mappings;
    std::size_t refused = 0;       // lines that cannot be mappings
    std::size_t firstRefused = 0;  // the number of the first of them (1 is the first line) ...
    std::string firstProblem;      // ... and what was wrong with it
    std::size_t padsOverLimit = 0; // pads after the first kMaxPadMappings, left out
};

// Splits text into lines (ended by LF, CRLF or CR alone), skips comments, blank lines and lines
// whose platform field names another platform (compared without regard to case, as SDL does),
// and refuses lines that hold a NUL byte, are too long or lack the GUID and name fields.
PadMappingSelection selectControllerMappings(std::string_view text, std::string_view platform);

// Adds the mappings in text that are meant for this platform. Returns one line naming source and
// what was wrong when some lines could not be used, and an empty string when all was well.
// SDL's game-controller subsystem must be running. Mappings from SDL_GAMECONTROLLERCONFIG, which
// SDL reads as it starts, keep their place: SDL lets no added mapping replace them.
std::string addControllerMappings(std::string_view text, const std::string& source);

} // namespace zindle
