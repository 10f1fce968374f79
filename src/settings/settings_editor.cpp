// The lines: two volumes, three switches, then each player's three keys.
#include "settings/settings_editor.h"

#include <algorithm>
#include <array>

namespace zindle {

namespace {
constexpr std::size_t kVolumeLines = 2;
constexpr std::size_t kSwitchLines = 3;
constexpr std::size_t kFirstKeyLine = kVolumeLines + kSwitchLines;
constexpr std::size_t kKeyLines = rules::kPlayers * PlayerKeys::kActions;
constexpr std::array<const char*, kFirstKeyLine> kLabels{"MUSIC", "EFFECTS", "FULL SCREEN",
                                                         "REDUCED MOTION", "PLAYER NUMBERS"};
constexpr int kEscape = 27;

// S is Settings or const Settings: the page reads through these and the keys write.
template <class S> auto volumeOf(S& s, std::size_t line) -> decltype(&s.musicVolume) {
    return line == 0 ? &s.musicVolume : line == 1 ? &s.effectsVolume : nullptr;
}

template <class S> auto switchOf(S& s, std::size_t line) -> decltype(&s.fullScreen) {
    switch (line) {
    case kVolumeLines:
        return &s.fullScreen;
    case kVolumeLines + 1:
        return &s.reducedMotion;
    case kVolumeLines + 2:
        return &s.highContrast;
    default:
        return nullptr;
    }
}

std::string upper(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c);
    });
    return out;
}
} // namespace

std::size_t SettingsEditor::lines() const {
    return kFirstKeyLine + kKeyLines;
}

std::string SettingsEditor::label(std::size_t line) const {
    if (line < kFirstKeyLine)
        return kLabels[line];
    const std::size_t k = line - kFirstKeyLine;
    std::string text = "P";
    text.append(std::to_string(k / PlayerKeys::kActions + 1))
        .append(" ")
        .append(upper(kKeyActionNames[k % PlayerKeys::kActions]));
    return text;
}

std::string SettingsEditor::value(std::size_t line) const {
    if (const int* volume = volumeOf(settings_, line))
        return std::to_string(*volume);
    if (const bool* on = switchOf(settings_, line))
        return *on ? "ON" : "OFF";
    if (line == waitingLine_)
        return "PRESS A KEY";
    const std::size_t k = line - kFirstKeyLine;
    return keyName(
        settings_.keys[k / PlayerKeys::kActions][static_cast<int>(k % PlayerKeys::kActions)]);
}

bool SettingsEditor::adjust(std::size_t line, int by) {
    if (int* volume = volumeOf(settings_, line)) {
        const int next = std::clamp(*volume + by, 0, Settings::kMaxVolume);
        const bool changed = next != *volume;
        *volume = next;
        return changed;
    }
    if (bool* on = switchOf(settings_, line)) {
        *on = !*on;
        return true;
    }
    return false;
}

bool SettingsEditor::choose(std::size_t line) {
    message_.clear();
    if (int* volume = volumeOf(settings_, line)) {
        *volume = *volume == Settings::kMaxVolume ? 0 : *volume + 1;
        return true;
    }
    if (switchOf(settings_, line))
        return adjust(line, 1);
    if (line >= kFirstKeyLine && line < lines())
        waitingLine_ = line;
    return false;
}

bool SettingsEditor::keyPressed(int code) {
    if (!waitingForKey())
        return false;
    const std::size_t k = waitingLine_ - kFirstKeyLine;
    waitingLine_ = kNotWaiting;
    if (code == kEscape)
        return false;
    const int player = static_cast<int>(k / PlayerKeys::kActions);
    const int action = static_cast<int>(k % PlayerKeys::kActions);
    if (const auto why = refuseKey(settings_.keys, player, action, code)) {
        message_ = upper(*why);
        return false;
    }
    int& key = settings_.keys[static_cast<std::size_t>(player)][action];
    const bool changed = key != code;
    key = code;
    return changed;
}

} // namespace zindle
