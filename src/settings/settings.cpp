// The settings file's text: "name = value" lines under [section] headings, '#' comments. Every
// line is untrusted: a value that is refused keeps its default and gets one line, and at most
// kMaxProblemLines lines are said however bad the file is.
#include "settings/settings.h"

#include "framework/untrusted_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <functional>

namespace zindle {

namespace {

constexpr std::size_t kMaxProblemLines = 10;
constexpr int kTab = 9;
constexpr const char* kBrokenSection = "?";
constexpr int kLetterCount = 26;
constexpr int kDigitCount = 10;

std::string_view trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

// A comment may follow a value after a space: "music = 10  # loud". The value comes trimmed, so
// that its first character is never taken for a comment: "relay = ;x" keeps ";x", as written.
std::string_view withoutComment(std::string_view value) {
    for (std::size_t i = 1; i < value.size(); ++i)
        if ((value[i] == '#' || value[i] == ';') && (value[i - 1] == ' ' || value[i - 1] == '\t'))
            return value.substr(0, i);
    return value;
}

std::string lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    });
    return out;
}

std::optional<int> parseVolume(std::string_view text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < 0 ||
        value > Settings::kMaxVolume)
        return std::nullopt;
    return value;
}

std::optional<bool> parseSwitch(std::string_view text) {
    const std::string word = lower(text);
    if (word == "yes" || word == "on" || word == "true" || word == "1")
        return true;
    if (word == "no" || word == "off" || word == "false" || word == "0")
        return false;
    return std::nullopt;
}

// Printable ASCII without spaces: what a host name, a port and a link's path are made of.
bool isRelayText(std::string_view text) {
    return text.size() <= Settings::kMaxRelayLength &&
           std::all_of(text.begin(), text.end(), [](char c) { return c > ' ' && c <= '~'; });
}

std::string keySettingName(int player, int action) {
    return "player" + std::to_string(player + 1) + "_" +
           std::string(kKeyActionNames[static_cast<std::size_t>(action)]);
}

const char* yesNo(bool on) {
    return on ? "yes" : "no";
}

// One line for each problem, up to the limit, then one line saying how many more there were.
class Problems {
public:
    Problems(std::vector<std::string>& out, std::string_view source) : out_(out), source_(source) {}
    ~Problems() {
        if (hidden_ > 0)
            out_.push_back(source_ + ": " + std::to_string(hidden_) + " more problems not shown");
    }
    Problems(const Problems&) = delete;
    Problems& operator=(const Problems&) = delete;

    void add(std::size_t line, const std::string& text) {
        if (out_.size() >= kMaxProblemLines) {
            ++hidden_;
            return;
        }
        std::string said = source_;
        if (line > 0)
            said.append(":").append(std::to_string(line));
        out_.push_back(said.append(": ").append(text));
    }

private:
    std::vector<std::string>& out_;
    std::string source_;
    std::size_t hidden_ = 0;
};

struct KeyChoice {
    int code;
    std::size_t line;
};

} // namespace

std::string keyName(int code) {
    switch (code) {
    case Keyboard::LEFT:
        return "LEFT";
    case Keyboard::RIGHT:
        return "RIGHT";
    case Keyboard::UP:
        return "UP";
    case Keyboard::DOWN:
        return "DOWN";
    case Keyboard::SPACE:
        return "SPACE";
    default:
        break;
    }
    if (code >= Keyboard::A && code < Keyboard::A + kLetterCount)
        return std::string(1, static_cast<char>(code));
    if (code >= Keyboard::NUMBER_0 && code < Keyboard::NUMBER_0 + kDigitCount)
        return std::string(1, static_cast<char>(code));
    if (code >= Keyboard::NUMPAD_0 && code < Keyboard::NUMPAD_0 + kDigitCount)
        return "NUMPAD_" + std::to_string(code - Keyboard::NUMPAD_0);
    return {};
}

std::optional<int> keyFromName(std::string_view name) {
    const std::string wanted = lower(trim(name));
    // Few enough names to ask each key for its own: one table, in keyName.
    for (int code = 1; code < Keyboard::F1; ++code) {
        const std::string known = keyName(code);
        if (!known.empty() && lower(known) == wanted)
            return code;
    }
    return std::nullopt;
}

std::optional<std::string> refuseKey(const KeyTable& keys, int player, int action, int code) {
    if (code == Keyboard::ESCAPE)
        return std::string("ESC leaves a match and goes back in the menu");
    if (code == Keyboard::ENTER)
        return std::string("ENTER chooses in the menu");
    if (code == kTab)
        return std::string("TAB opens the menu");
    if (code >= Keyboard::NUMBER_1 && code <= Keyboard::NUMBER_4)
        return std::string("CTRL with ") + static_cast<char>(code) +
               " hands a player to the computer";
    const std::string name = keyName(code);
    if (name.empty())
        return std::string("that key cannot be chosen");
    for (int p = 0; p < static_cast<int>(keys.size()); ++p) {
        for (int a = 0; a < PlayerKeys::kActions; ++a) {
            if ((p != player || a != action) && keys[static_cast<std::size_t>(p)][a] == code)
                return name + " is already player " + std::to_string(p + 1) + "'s " +
                       std::string(kKeyActionNames[static_cast<std::size_t>(a)]) + " key";
        }
    }
    return std::nullopt;
}

SettingsRead parseSettings(std::string_view text, std::string_view source) {
    SettingsRead read;
    Settings& s = read.settings;
    Problems problems(read.problems, source);
    std::array<std::array<std::optional<KeyChoice>, PlayerKeys::kActions>, rules::kPlayers> chosen;

    using Apply = std::function<bool(std::string_view value)>;
    struct Known {
        std::string name; // "section.name"
        Apply apply;
    };
    auto volume = [](int& field) {
        return [&field](std::string_view v) {
            const auto value = parseVolume(v);
            if (value)
                field = *value;
            return value.has_value();
        };
    };
    auto onOff = [](bool& field) {
        return [&field](std::string_view v) {
            const auto value = parseSwitch(v);
            if (value)
                field = *value;
            return value.has_value();
        };
    };
    std::vector<Known> known = {
        {"sound.music", volume(s.musicVolume)},
        {"sound.effects", volume(s.effectsVolume)},
        {"screen.full_screen", onOff(s.fullScreen)},
        {"screen.reduced_motion", onOff(s.reducedMotion)},
        {"screen.high_contrast", onOff(s.highContrast)},
        {"online.relay",
         [&s](std::string_view v) {
             if (!isRelayText(v))
                 return false;
             s.relay = std::string(v);
             return true;
         }},
    };
    std::size_t lineNumber = 0;
    for (int p = 0; p < rules::kPlayers; ++p) {
        for (int a = 0; a < PlayerKeys::kActions; ++a) {
            known.push_back(
                {"keys." + keySettingName(p, a), [&chosen, &lineNumber, p, a](std::string_view v) {
                     const auto code = keyFromName(v);
                     if (code)
                         chosen[static_cast<std::size_t>(p)][static_cast<std::size_t>(a)] =
                             KeyChoice{*code, lineNumber};
                     return code.has_value();
                 }});
        }
    }

    std::string section;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        ++lineNumber;
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        line = trim(line);
        if (line.empty() || line.front() == '#' || line.front() == ';')
            continue;
        if (line.front() == '[') {
            if (line.back() != ']') {
                problems.add(lineNumber, "'" + quoteUntrusted(line) + "' is no [section]");
                section = kBrokenSection;
                continue;
            }
            section = lower(trim(line.substr(1, line.size() - 2)));
            continue;
        }
        if (section == kBrokenSection)
            continue; // the heading's line said it all
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) {
            problems.add(lineNumber, "'" + quoteUntrusted(line) + "' is no 'name = value'");
            continue;
        }
        const std::string name = lower(trim(line.substr(0, equals)));
        const std::string_view value = trim(withoutComment(trim(line.substr(equals + 1))));
        const std::string full = section + "." + name;
        const auto it = std::find_if(known.begin(), known.end(),
                                     [&full](const Known& k) { return k.name == full; });
        if (it == known.end()) {
            problems.add(lineNumber, "'" + quoteUntrusted(full) + "' is no setting: ignored");
            continue;
        }
        if (!it->apply(value))
            problems.add(lineNumber, "'" + quoteUntrusted(value) + "' is no value for " + full +
                                         ": the default is kept");
    }

    // Keys: a refused one keeps its default; a table that still binds one key twice (a file
    // edited by hand) is no table, and the shipped keys are used.
    for (int p = 0; p < rules::kPlayers; ++p) {
        for (int a = 0; a < PlayerKeys::kActions; ++a) {
            const auto& choice = chosen[static_cast<std::size_t>(p)][static_cast<std::size_t>(a)];
            if (!choice)
                continue;
            // Only the menu's and the window's own keys are refused here; clashes come after.
            if (const auto why = refuseKey(KeyTable{}, p, a, choice->code)) {
                problems.add(choice->line, "keys." + keySettingName(p, a) + ": " + *why +
                                               ": the default is kept");
                continue;
            }
            s.keys[static_cast<std::size_t>(p)][a] = choice->code;
        }
    }
    for (int p = 0; p < rules::kPlayers; ++p) {
        for (int a = 0; a < PlayerKeys::kActions; ++a) {
            if (const auto why = refuseKey(s.keys, p, a, s.keys[static_cast<std::size_t>(p)][a])) {
                problems.add(0, "keys: " + *why + " as well: the shipped keys are used");
                s.keys = kDefaultKeys;
                return read;
            }
        }
    }
    return read;
}

std::string formatSettings(const Settings& s) {
    std::string text = "# Zindle vs Pellorin's settings. The game's menu rewrites this file.\n"
                       "[sound]\n"
                       "# 0 (silent) to 10\n"
                       "music = " +
                       std::to_string(s.musicVolume) + "\n" +
                       "effects = " + std::to_string(s.effectsVolume) + "\n" +
                       "\n[screen]\n"
                       "full_screen = " +
                       yesNo(s.fullScreen) + "\n" + "reduced_motion = " + yesNo(s.reducedMotion) +
                       "\n" + "high_contrast = " + yesNo(s.highContrast) + "\n" +
                       "\n[online]\n"
                       "# where \"Host a room\" opens its room; empty: inside the game\n"
                       "relay = " +
                       s.relay + "\n" +
                       "\n[keys]\n"
                       "# LEFT RIGHT UP DOWN SPACE, A to Z, 0 and 5 to 9, NUMPAD_0 to NUMPAD_9\n";
    for (int p = 0; p < rules::kPlayers; ++p)
        for (int a = 0; a < PlayerKeys::kActions; ++a)
            text += keySettingName(p, a) + " = " + keyName(s.keys[static_cast<std::size_t>(p)][a]) +
                    "\n";
    return text;
}

} // namespace zindle
