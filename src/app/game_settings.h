#pragma once
// The settings this run plays with: read once at start, put into effect on the sound, the
// picture, the window and the keys, and saved again whenever the menu changes them.
#include "settings/settings.h"

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

namespace zindle {

class GameSettings {
public:
    GameSettings() = delete;

    // Reads file (empty: none), says each refused thing on problems in one line, and puts what
    // it gives into effect; the window's full screen is asked of Main for when it starts.
    static void load(const std::filesystem::path& file, std::ostream& problems);
    // Puts settings into effect at once and saves them; the reason when the file could not be
    // written (they still hold for this run), for the screen to say.
    static std::optional<std::string> change(const Settings& settings);
    static const Settings& current();
    // The relay "Host a room" uses; empty: the game's own, inside it.
    static const std::string& relay() { return current().relay; }
    // Forgets the file and goes back to the defaults (tests).
    static void reset();

    // The gain of a volume setting, 0 to 1. Squared: each step down sounds about as much
    // quieter as the last.
    static double gain(int volume);

private:
    static void apply(const Settings& settings);
};

} // namespace zindle
