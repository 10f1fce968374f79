#pragma once
// The settings this run plays with: read once at start, put into effect on the sound, the
// picture, the window and the keys, and saved again whenever the menu changes them.
#include "settings/settings.h"

#include <filesystem>
#include <functional>
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
    static const std::string& relayForHosting() { return current().relay; }
    // Forgets the file and goes back to the defaults (tests).
    static void reset();
    // For this run only, reduced motion whatever the file says (the page follows the system's
    // wish for less motion).
    static void preferReducedMotion();

    // Called with the file's text after each save, where the file alone does not last (the
    // page keeps it in its own storage); the reason when that failed.
    static std::function<std::optional<std::string>(const std::string& text)> keep;

    // The gain of a volume setting, 0 to 1. Squared: each step down sounds about as much
    // quieter as the last.
    static double gain(int volume);

private:
    static void apply(const Settings& settings);
};

} // namespace zindle
