#pragma once
// Where the settings are kept, $XDG_CONFIG_HOME/zindle-vs-pellorin/settings.ini (or
// ~/.config/...), and reading and writing that file. The file is untrusted: anything but a
// readable regular file of at most kMaxSettingsBytes gives one line naming it and the defaults.
#include "settings/settings.h"

#include <filesystem>
#include <optional>
#include <string>

namespace zindle {

inline constexpr std::uintmax_t kMaxSettingsBytes = 64 * 1024;

// The file from the two variables' values (null when unset); empty when neither gives one. A
// relative XDG_CONFIG_HOME is ignored, as the XDG rules ask.
std::filesystem::path settingsFileFor(const char* xdgConfigHome, const char* home);
// The same from this process's environment.
std::filesystem::path settingsFile();

// The settings in file; a missing file (the first run) is the defaults and no problem.
SettingsRead loadSettings(const std::filesystem::path& file);
// Replaces file with settings, making its folder; the reason when it could not (the old file
// is then untouched).
std::optional<std::string> saveSettings(const std::filesystem::path& file,
                                        const Settings& settings);

} // namespace zindle
