// Pad mappings from the game's data, line by line, so that a broken line is counted and named
// rather than silently dropped.
#include "media/sdl/sdl_controller_mappings.h"

#include <SDL.h>

namespace zindle {

namespace {
constexpr std::string_view kPlatformField = "platform:";

std::string_view trimmed(std::string_view line) {
    const auto first = line.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    const auto last = line.find_last_not_of(" \t\r");
    return line.substr(first, last - first + 1);
}

// A line that names another platform is meant for another build of the game.
bool forThisPlatform(std::string_view line) {
    const auto at = line.find(kPlatformField);
    if (at == std::string_view::npos)
        return true;
    const auto start = at + kPlatformField.size();
    const auto end = line.find(',', start);
    return line.substr(start, end == std::string_view::npos ? end : end - start) ==
           SDL_GetPlatform();
}
} // namespace

std::string addControllerMappings(std::string_view text, const std::string& source) {
    int lineNumber = 0;
    int rejected = 0;
    int firstRejected = 0;
    std::string firstError;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        ++lineNumber;
        if (line.empty() || line.front() == '#' || !forThisPlatform(line))
            continue;
        if (SDL_GameControllerAddMapping(std::string(line).c_str()) < 0) {
            if (rejected++ == 0) {
                firstRejected = lineNumber;
                firstError = SDL_GetError();
            }
        }
    }
    if (rejected == 0)
        return {};
    return source + ": " + std::to_string(rejected) + (rejected == 1 ? " line" : " lines") +
           " not understood as pad mappings and skipped (line " + std::to_string(firstRejected) +
           ": " + firstError + ")";
}

} // namespace zindle
