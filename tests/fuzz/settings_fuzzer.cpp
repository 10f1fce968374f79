// Feeds arbitrary text to the settings reader. Whatever the text, the reader must not crash,
// must say at most eleven lines with nothing in them that steers a terminal, must give values in
// range and a key table with twelve different keys that may be chosen, and what it gives must
// survive its own file unchanged.
#include "settings/settings.h"

#include <cstddef>
#include <cstdint>
#include <set>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zindle;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const SettingsRead read = parseSettings(text, "f");
    if (read.problems.size() > 11)
        __builtin_trap();
    for (const auto& line : read.problems)
        for (char c : line)
            if (c == '\n' || c == '\x1b' || c == '\r')
                __builtin_trap();
    const Settings& s = read.settings;
    if (s.musicVolume < 0 || s.musicVolume > Settings::kMaxVolume || s.effectsVolume < 0 ||
        s.effectsVolume > Settings::kMaxVolume || s.relay.size() > Settings::kMaxRelayLength)
        __builtin_trap();
    std::set<int> keys;
    for (std::size_t p = 0; p < s.keys.size(); ++p) {
        for (int a = 0; a < PlayerKeys::kActions; ++a) {
            const int code = s.keys[p][a];
            if (keyName(code).empty() || refuseKey(s.keys, static_cast<int>(p), a, code))
                __builtin_trap();
            keys.insert(code);
        }
    }
    if (keys.size() != s.keys.size() * PlayerKeys::kActions)
        __builtin_trap();
    const SettingsRead again = parseSettings(formatSettings(s), "f");
    if (!again.problems.empty() || !(again.settings == s))
        __builtin_trap();
    return 0;
}
