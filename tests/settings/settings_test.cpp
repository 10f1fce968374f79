// The settings file: what survives a round trip, and what hostile files and values get instead
// (the defaults, and one line naming the file and the problem).
#include "input/key_remap.h"
#include "settings/settings.h"
#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace zindle {
namespace {

namespace fs = std::filesystem;

Settings chosenSettings() {
    Settings s;
    s.musicVolume = 0;
    s.effectsVolume = 7;
    s.fullScreen = false;
    s.reducedMotion = true;
    s.highContrast = true;
    s.relay = "http://relay.example.org:8080/";
    // Players 1 and 2 swapped, player 3 on keys nobody had.
    s.keys[0] = kDefaultKeys[1];
    s.keys[1] = kDefaultKeys[0];
    s.keys[2] = {Keyboard::NUMPAD_0 + 4, Keyboard::NUMPAD_0 + 6, Keyboard::NUMBER_0 + 9};
    return s;
}

TEST(Settings, SurviveTheirOwnFile) {
    // A relay that begins with a comment's character is still the relay once written.
    Settings oddRelay = chosenSettings();
    oddRelay.relay = ";x]#y";
    for (const Settings& s : {Settings{}, chosenSettings(), oddRelay}) {
        const SettingsRead read = parseSettings(formatSettings(s), "settings.ini");
        EXPECT_TRUE(read.problems.empty()) << read.problems.front();
        EXPECT_EQ(read.settings, s) << formatSettings(s);
    }
}

TEST(Settings, HostileValuesKeepTheirDefaultWithOneLineEach) {
    struct Case {
        const char* text;
        const char* problem; // part of the one line; null: no problem
    };
    const Case cases[] = {
        {"[sound]\nmusic = 11\n", ":2: '11' is no value for sound.music"},
        {"[sound]\nmusic = -1\n", "'-1' is no value"},
        {"[sound]\nmusic = 5x\n", "'5x' is no value"},
        {"[sound]\nmusic = 99999999999999999999\n", "is no value"},
        {"[sound]\nmusic =\n", "'' is no value"},
        {"[screen]\nfull_screen = maybe\n", "'maybe' is no value for screen.full_screen"},
        {"[online]\nrelay = has space\n", "is no value for online.relay"},
        {"[online]\nrelay = \x1b]0;pwned\x07\n", "\\x1b"},
        {"[keys]\nplayer1_left = F5\n", "'F5' is no value for keys.player1_left"},
        {"[keys]\nplayer1_left = 1\n", "hands a player to the computer: the default is kept"},
        {"[keys]\nplayer2_join = SPACE\n", "SPACE is already player"},
        {"[keys]\nplayer5_left = A\n", "'keys.player5_left' is no setting"},
        {"music = 5\n", "'.music' is no setting"},
        {"[sound\nmusic = 5\n", "is no [section]"},
        {"just words\n", "is no 'name = value'"},
        {"[SOUND]\r\n  Music=3 \r\n# music = 4\n; x\n\n", nullptr},
        {"[sound]\nmusic = 3 # quiet ; really\neffects = 4\t; x\n", nullptr},
        {"[keys]\nplayer1_left = q\nplayer2_left = left\n", nullptr}, // a swap, any case
    };
    for (const Case& c : cases) {
        const SettingsRead read = parseSettings(c.text, "settings.ini");
        if (!c.problem) {
            EXPECT_TRUE(read.problems.empty()) << c.text;
            continue;
        }
        ASSERT_EQ(read.problems.size(), 1u) << c.text;
        EXPECT_NE(read.problems[0].find(c.problem), std::string::npos) << read.problems[0];
        EXPECT_EQ(read.problems[0].find('\x1b'), std::string::npos);
        // Whatever was refused, nothing else moved: here every case leaves the defaults.
        EXPECT_EQ(read.settings, Settings{}) << c.text;
    }
    EXPECT_EQ(parseSettings("[SOUND]\nMusic=3\n", "f").settings.musicVolume, 3);
    EXPECT_EQ(parseSettings("[sound]\neffects = 4\t; x\n", "f").settings.effectsVolume, 4);
}

TEST(Settings, AFloodOfBadLinesSaysTenAndCountsTheRest) {
    std::string text;
    for (int i = 0; i < 1000; ++i)
        text += "bad line\n";
    const SettingsRead read = parseSettings(text, "f");
    ASSERT_EQ(read.problems.size(), 11u);
    EXPECT_EQ(read.problems.back(), "f: 990 more problems not shown");
}

TEST(Settings, KeysTheMenuOrAnotherPlayerUsesAreRefused) {
    struct Case {
        int player, action, code;
        const char* refusal; // part of it; null: accepted
    };
    const Case cases[] = {
        {0, 0, Keyboard::LEFT, nullptr}, // its own key again
        {0, 0, 'A', nullptr},
        {0, 0, Keyboard::NUMPAD_0 + 7, nullptr},
        {0, 0, 'Q', "Q is already player 2's left key"},
        {3, 2, Keyboard::SPACE, "SPACE is already player 1's join key"},
        {1, 1, Keyboard::ESCAPE, "ESC"},
        {1, 1, Keyboard::ENTER, "ENTER"},
        {1, 1, 9, "TAB"},
        {1, 1, Keyboard::NUMBER_3, "CTRL with 3"},
        {1, 1, Keyboard::F12, "cannot be chosen"},
    };
    for (const Case& c : cases) {
        const auto refusal = refuseKey(kDefaultKeys, c.player, c.action, c.code);
        if (!c.refusal) {
            EXPECT_FALSE(refusal) << c.code << ": " << *refusal;
        } else {
            EXPECT_NE(refusal.value_or("").find(c.refusal), std::string::npos) << c.code;
        }
    }
    for (int code = 1; code < 256; ++code) {
        const std::string name = keyName(code);
        if (!name.empty()) {
            EXPECT_EQ(keyFromName(name), code) << name;
        }
    }
}

TEST(KeyRemap, ChosenKeysReachTheGameAsTheShippedOnesAndFreedKeysSteerNobody) {
    KeyRemap::set(chosenSettings().keys);
    struct Case {
        int pressed, seen;
    };
    const Case cases[] = {
        {'Q', Keyboard::LEFT},          // player 1's left is now Q
        {Keyboard::LEFT, 'Q'},          // and player 2's left the arrow
        {Keyboard::NUMPAD_0 + 4, 'O'},  // player 3's chosen left
        {'O', KeyRemap::kUnbound},      // player 3's shipped left steers nobody
        {'O' + 32, KeyRemap::kUnbound}, // nor its lower-case twin (a keypad key)
        {'Z', 'Z'},                     // player 4 kept the shipped keys
        {Keyboard::ESCAPE, Keyboard::ESCAPE},
        {Keyboard::F12, Keyboard::F12},
    };
    for (const Case& c : cases)
        EXPECT_EQ(KeyRemap::canonical(c.pressed), c.seen) << c.pressed;
    KeyRemap::set(kDefaultKeys);
    for (int code = 0; code < 256; ++code) {
        EXPECT_EQ(KeyRemap::canonical(code), code);
    }
}

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("zindle-settings-" + std::to_string(::getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override {
        fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(folder_);
    }
    fs::path folder_;
};

TEST_F(SettingsFile, FollowsXdgConfigHomeThenHome) {
    EXPECT_EQ(settingsFileFor("/c", "/h"), "/c/zindle-vs-pellorin/settings.ini");
    EXPECT_EQ(settingsFileFor("c", "/h"), "/h/.config/zindle-vs-pellorin/settings.ini");
    EXPECT_EQ(settingsFileFor(nullptr, nullptr), "");
}

TEST_F(SettingsFile, SavedSettingsAreReadBackAndAMissingFileIsTheDefaults) {
    const fs::path file = folder_ / "deeper" / "settings.ini";
    EXPECT_TRUE(loadSettings(file).problems.empty());
    EXPECT_EQ(loadSettings(file).settings, Settings{});
    ASSERT_FALSE(saveSettings(file, chosenSettings()));
    const SettingsRead read = loadSettings(file);
    EXPECT_TRUE(read.problems.empty());
    EXPECT_EQ(read.settings, chosenSettings());
    EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), {}), 1)
        << "the file written first was left behind";
}

TEST_F(SettingsFile, HostileFilesGetOneLineAndTheDefaults) {
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> make;
        const char* problem;
    };
    const bool root = ::geteuid() == 0;
    const Case cases[] = {
        {"fifo", [](const fs::path& f) { ASSERT_EQ(::mkfifo(f.c_str(), 0600), 0); },
         "is not a plain file"},
        {"folder", [](const fs::path& f) { fs::create_directory(f); }, "is a folder"},
        {"device", [](const fs::path& f) { fs::create_symlink("/dev/zero", f); },
         "is not a plain file"},
        {"large",
         [](const fs::path& f) {
             std::ofstream(f) << "# " << std::string(kMaxSettingsBytes, 'x') << "\n";
         },
         "is larger than 64 KB"},
        {"binary", [](const fs::path& f) { std::ofstream(f) << "music = 3\n"
                                                            << '\0'; },
         "is not text"},
        {"unreadable",
         [](const fs::path& f) {
             std::ofstream(f) << "[sound]\nmusic = 3\n";
             fs::permissions(f, fs::perms::none);
         },
         root ? nullptr : "cannot be read"},
    };
    for (const Case& c : cases) {
        const fs::path file = folder_ / c.name;
        c.make(file);
        const SettingsRead read = loadSettings(file);
        if (!c.problem)
            continue; // root reads anything
        ASSERT_EQ(read.problems.size(), 1u) << c.name;
        EXPECT_NE(read.problems[0].find(file.string()), std::string::npos) << read.problems[0];
        EXPECT_NE(read.problems[0].find(c.problem), std::string::npos) << read.problems[0];
        EXPECT_EQ(read.settings, Settings{}) << c.name;
    }
}

TEST_F(SettingsFile, ASaveThatFailsSaysWhyAndKeepsTheOldFile) {
    const fs::path taken = folder_ / "settings.ini";
    fs::create_directories(taken / "inside"); // a folder where the file goes
    EXPECT_TRUE(saveSettings(taken, chosenSettings()));
    EXPECT_TRUE(fs::is_directory(taken / "inside"));
    std::ofstream(folder_ / "plain") << "x";
    EXPECT_TRUE(saveSettings(folder_ / "plain" / "settings.ini", Settings{}));
    EXPECT_TRUE(saveSettings({}, Settings{}));
}

} // namespace
} // namespace zindle
