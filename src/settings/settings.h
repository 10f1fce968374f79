#pragma once
// What a player may set for the game, kept between runs: the volumes, the screen, gentler
// motion, hero markers, the relay a hosted room goes through, and the players' keys. Read from
// text that anybody may have written (parse) and written back (format); nothing here touches a
// file or the game.
#include "input/player_keys.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zindle {

struct Settings {
    static constexpr int kMaxVolume = 10;
    // A relay's address is a host and a port or a link's start; longer is nobody's address.
    static constexpr std::size_t kMaxRelayLength = 200;

    int musicVolume = kMaxVolume;   // 0 silent to 10 as recorded
    int effectsVolume = kMaxVolume; // 0 silent to 10 as recorded
    bool fullScreen = true;
    // No screen shake, and steady light where the picture would flicker or flash.
    bool reducedMotion = false;
    // Each hero's player number above it, for players who cannot tell the hues apart.
    bool highContrast = false;
    // The relay that "Host a room" opens its room on, like "relay.example.org:8080" or
    // "http://relay.example.org:8080/"; empty: the game's own relay, inside it.
    std::string relay;
    KeyTable keys = kDefaultKeys;

    friend bool operator==(const Settings&, const Settings&) = default;
};

// The settings a text gives, and one line for each thing in it that was refused (which keeps
// its default).
struct SettingsRead {
    Settings settings;
    std::vector<std::string> problems;
};

// text is a whole settings file; source names it in the problems' lines.
SettingsRead parseSettings(std::string_view text, std::string_view source);
// The file that parseSettings reads back as settings.
std::string formatSettings(const Settings& settings);

// Why code may not become player's key for action (0 left, 1 right, 2 join) in settings:
// another player's key, or one the menu or the window keys use; nothing when it may.
std::optional<std::string> refuseKey(const KeyTable& keys, int player, int action, int code);
// The name a key is written with in the file and shown with in the menu ("LEFT", "Q", "7",
// "NUMPAD_3"); empty for a key that cannot be chosen.
std::string keyName(int code);
// The code of a key's name (either case); nothing for a name that is no key's.
std::optional<int> keyFromName(std::string_view name);

} // namespace zindle
