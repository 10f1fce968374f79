// Pad mappings from the game's data, line by line, so that a broken line is counted and named
// rather than silently dropped, and so that no file can make SDL's own list slow to build.
#include "media/sdl/sdl_controller_mappings.h"

#include "framework/untrusted_text.h"

#include <SDL.h>

#include <algorithm>
#include <cctype>
#include <unordered_map>
#include <utility>

namespace zindle {

namespace {
constexpr std::string_view kPlatformField = "platform:";

std::string_view trimmed(std::string_view line) {
    const auto first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const auto last = line.find_last_not_of(" \t");
    return line.substr(first, last - first + 1);
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// The first line of text (without its end) and the rest after it.
std::string_view nextLine(std::string_view& text) {
    const auto end = text.find_first_of("\r\n");
    const std::string_view line = text.substr(0, end);
    if (end == std::string_view::npos)
        text = {};
    else
        text.remove_prefix(end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1));
    return line;
}

// A line that names another platform in a field of its own is meant for another build.
bool forPlatform(std::string_view fields, std::string_view platform) {
    while (!fields.empty()) {
        const auto end = fields.find(',');
        const std::string_view field = fields.substr(0, end);
        if (field.starts_with(kPlatformField))
            return sameIgnoringCase(field.substr(kPlatformField.size()), platform);
        fields = end == std::string_view::npos ? std::string_view{} : fields.substr(end + 1);
    }
    return true;
}

// Why line cannot be a mapping, or nothing when it may be one.
std::string problemWith(std::string_view line) {
    if (line.find('\0') != std::string_view::npos)
        return "it holds a NUL byte";
    if (line.size() > kMaxPadMappingBytes)
        return "longer than " + std::to_string(kMaxPadMappingBytes) + " bytes";
    const auto guidEnd = line.find(',');
    if (guidEnd == std::string_view::npos || guidEnd == 0)
        return "no GUID before a comma";
    if (line.find(',', guidEnd + 1) == std::string_view::npos)
        return "no name between two commas after the GUID";
    return {};
}
} // namespace

PadMappingSelection selectControllerMappings(std::string_view text, std::string_view platform) {
    PadMappingSelection selection;
    std::vector<PadMapping> pads;
    std::unordered_map<std::string, std::size_t> padOfGuid; // lower-case GUID: index in pads
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        const std::string_view line = trimmed(nextLine(text));
        ++lineNumber;
        if (line.empty() || line.front() == '#')
            continue;
        if (const std::string problem = problemWith(line); !problem.empty()) {
            if (selection.refused++ == 0) {
                selection.firstRefused = lineNumber;
                selection.firstProblem = problem + ": \"" + quoteUntrusted(line) + "\"";
            }
            continue;
        }
        const auto guidEnd = line.find(',');
        const auto nameEnd = line.find(',', guidEnd + 1);
        if (!forPlatform(line.substr(nameEnd + 1), platform))
            continue;
        const auto [found, added] = padOfGuid.try_emplace(lowered(line.substr(0, guidEnd)));
        if (added) {
            if (pads.size() == kMaxPadMappings) {
                padOfGuid.erase(found);
                ++selection.padsOverLimit;
                continue;
            }
            found->second = pads.size();
            pads.push_back({});
        }
        pads[found->second] = {line, lineNumber};
    }
    std::sort(pads.begin(), pads.end(),
              [](const PadMapping& a, const PadMapping& b) { return a.line < b.line; });
    selection.mappings = std::move(pads);
    return selection;
}

std::string addControllerMappings(std::string_view text, const std::string& source) {
    PadMappingSelection selection = selectControllerMappings(text, SDL_GetPlatform());
    for (const PadMapping& mapping : selection.mappings) {
        if (SDL_GameControllerAddMapping(std::string(mapping.text).c_str()) >= 0)
            continue;
        if (selection.refused++ == 0 || mapping.line < selection.firstRefused) {
            selection.firstRefused = mapping.line;
            selection.firstProblem = "SDL: " + quoteUntrusted(SDL_GetError());
        }
    }
    std::string complaint;
    if (selection.refused > 0) {
        complaint = std::to_string(selection.refused) +
                    (selection.refused == 1 ? " line" : " lines") +
                    " not understood as pad mappings and skipped (line " +
                    std::to_string(selection.firstRefused) + ", " + selection.firstProblem + ")";
    }
    if (selection.padsOverLimit > 0) {
        complaint += (complaint.empty() ? "" : "; ") + std::to_string(selection.padsOverLimit) +
                     " more pads than the " + std::to_string(kMaxPadMappings) +
                     " the game takes from one file, left out";
    }
    return complaint.empty() ? complaint : source + ": " + complaint;
}

} // namespace zindle
