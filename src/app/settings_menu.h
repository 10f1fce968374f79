#pragma once
// The menu's pages for what a player keeps between runs and what they played: the settings
// (volumes, screen, motion, markers, keys) and the newest replays, each chosen to be watched.
#include "menu/menu_page.h"

#include <filesystem>

namespace zindle {

// Every change takes effect at once and is saved; a save that fails says why on the page.
MenuPage settingsPage();
// The newest replays in folder; choosing one closes the menu and watches it.
MenuPage replaysPage(const std::filesystem::path& folder);

} // namespace zindle
