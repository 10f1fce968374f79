// Settings into effect: the volumes on the sound channels, reduced motion and markers on the
// drawing, the chosen keys on the key remap, full screen on the window.
#include "app/game_settings.h"

#include "framework/sound_channel.h"
#include "framework/stage.h"
#include "input/key_remap.h"
#include "loop/main.h"
#include "render/drawing_options.h"
#include "settings/settings_file.h"

namespace zindle {

namespace {
Settings settingsNow;
std::filesystem::path settingsPath;
} // namespace

double GameSettings::gain(int volume) {
    const double share = static_cast<double>(volume) / Settings::kMaxVolume;
    return share * share;
}

void GameSettings::apply(const Settings& s) {
    SoundChannel::setGroupVolume(SoundGroup::Music, gain(s.musicVolume));
    SoundChannel::setGroupVolume(SoundGroup::Effects, gain(s.effectsVolume));
    DrawingOptions::reducedMotion = s.reducedMotion;
    DrawingOptions::highContrast = s.highContrast;
    KeyRemap::set(s.keys);
}

void GameSettings::load(const std::filesystem::path& file, std::ostream& problems) {
    settingsPath = file;
    SettingsRead read = loadSettings(file);
    for (const std::string& line : read.problems)
        problems << "zindle: " << line << '\n';
    settingsNow = std::move(read.settings);
    apply(settingsNow);
    Main::startFullScreen = settingsNow.fullScreen;
}

std::optional<std::string> GameSettings::change(const Settings& settings) {
    const bool screenChanged = settings.fullScreen != settingsNow.fullScreen;
    settingsNow = settings;
    apply(settingsNow);
    if (screenChanged && Main::instance && Main::instance->stage()) {
        Main::fullscreen = settingsNow.fullScreen;
        Main::instance->stage()->setDisplayState(Main::fullscreen ? StageDisplayState::FULL_SCREEN
                                                                  : StageDisplayState::NORMAL);
    }
    if (settingsPath.empty())
        return std::string("there is nowhere to keep settings");
    if (auto problem = saveSettings(settingsPath, settingsNow))
        return problem;
    return keep ? keep(formatSettings(settingsNow)) : std::nullopt;
}

void GameSettings::preferReducedMotion() {
    // Shown as on in the menu too; kept only if the player saves something.
    settingsNow.reducedMotion = true;
    apply(settingsNow);
}

const Settings& GameSettings::current() {
    return settingsNow;
}

std::function<std::optional<std::string>(const std::string&)> GameSettings::keep;

void GameSettings::reset() {
    keep = nullptr;
    settingsPath.clear();
    settingsNow = Settings{};
    apply(settingsNow);
}

} // namespace zindle
