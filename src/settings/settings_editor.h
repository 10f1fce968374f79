#pragma once
// The settings page's lines and what each does, apart from how a menu draws or reaches them:
// LEFT and RIGHT turn a volume down and up or flip a switch, choosing flips a switch or raises a
// volume (round from 10 to 0), and choosing a key's line waits for the key to take its place
// (refused, with the reason, when another player or the menu uses it; ESC gives up).
#include "settings/settings.h"

#include <cstddef>
#include <string>

namespace zindle {

class SettingsEditor {
public:
    explicit SettingsEditor(Settings settings) : settings_(std::move(settings)) {}

    std::size_t lines() const;
    // "MUSIC", "P2 LEFT".
    std::string label(std::size_t line) const;
    // "7", "ON", "Q", "PRESS A KEY" while that line waits for one.
    std::string value(std::size_t line) const;
    // Each returns whether the settings changed.
    bool adjust(std::size_t line, int by);
    bool choose(std::size_t line);
    // While waiting, every key comes here instead of moving through the menu.
    bool waitingForKey() const { return waitingLine_ < lines(); }
    bool keyPressed(int code);

    const Settings& settings() const { return settings_; }
    // What the last refused key was refused for; empty when nothing was.
    const std::string& message() const { return message_; }

private:
    static constexpr std::size_t kNotWaiting = static_cast<std::size_t>(-1);

    Settings settings_;
    std::size_t waitingLine_ = kNotWaiting;
    std::string message_;
};

} // namespace zindle
