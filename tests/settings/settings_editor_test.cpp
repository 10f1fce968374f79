// The settings page's lines driven as a player would: volumes up, down and round, switches,
// and keys chosen, refused with their reason, or given up with ESC.
#include "settings/settings_editor.h"

#include <gtest/gtest.h>

namespace zindle {
namespace {

constexpr std::size_t kMusic = 0, kEffects = 1, kReducedMotion = 3, kP1Left = 5, kP2Join = 10;
constexpr int kEscape = 27;

TEST(SettingsEditor, EveryLineDoesWhatItSays) {
    SettingsEditor editor(Settings{});
    ASSERT_EQ(editor.lines(), 5u + 12u);
    EXPECT_EQ(editor.label(kP2Join), "P2 JOIN");
    enum class Act { Left, Right, Choose, Key };
    struct Step {
        Act act;
        std::size_t line;
        int code; // Key: the key pressed
        bool changed;
        const char* shown; // the line's value afterwards
        const char* message = "";
    };
    const Step steps[] = {
        {Act::Right, kMusic, 0, false, "10"}, // already loudest
        {Act::Left, kMusic, 0, true, "9"},
        {Act::Choose, kMusic, 0, true, "10"},
        {Act::Choose, kMusic, 0, true, "0"}, // round
        {Act::Left, kEffects, 0, true, "9"},
        {Act::Choose, kReducedMotion, 0, true, "ON"},
        {Act::Left, kReducedMotion, 0, true, "OFF"},
        {Act::Choose, kP1Left, 0, false, "PRESS A KEY"},
        {Act::Key, kP1Left, 'A', true, "A"},
        {Act::Choose, kP2Join, 0, false, "PRESS A KEY"},
        {Act::Key, kP2Join, 'A', false, "E", "A IS ALREADY PLAYER 1'S LEFT KEY"},
        {Act::Choose, kP2Join, 0, false, "PRESS A KEY"},
        {Act::Key, kP2Join, Keyboard::F12, false, "E", "THAT KEY CANNOT BE CHOSEN"},
        {Act::Choose, kP2Join, 0, false, "PRESS A KEY"},
        {Act::Key, kP2Join, kEscape, false, "E"},
        {Act::Choose, kP2Join, 0, false, "PRESS A KEY"},
        {Act::Key, kP2Join, Keyboard::LEFT, true, "LEFT"}, // freed by player 1
    };
    for (const Step& s : steps) {
        bool changed = false;
        switch (s.act) {
        case Act::Left:
            changed = editor.adjust(s.line, -1);
            break;
        case Act::Right:
            changed = editor.adjust(s.line, 1);
            break;
        case Act::Choose:
            changed = editor.choose(s.line);
            break;
        case Act::Key:
            changed = editor.keyPressed(s.code);
            break;
        }
        const std::string where = editor.label(s.line);
        EXPECT_EQ(changed, s.changed) << where;
        EXPECT_EQ(editor.value(s.line), s.shown) << where;
        EXPECT_EQ(editor.message(), s.message) << where;
        EXPECT_EQ(editor.waitingForKey(), std::string(s.shown) == "PRESS A KEY") << where;
    }
    EXPECT_EQ(editor.settings().musicVolume, 0);
    EXPECT_EQ(editor.settings().keys[1].start, Keyboard::LEFT);
    // What the page made is a file that reads back the same.
    EXPECT_EQ(parseSettings(formatSettings(editor.settings()), "f").settings, editor.settings());
}

} // namespace
} // namespace zindle
