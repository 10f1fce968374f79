#pragma once
// What keys, pad buttons and the stick mean to an open menu. Main asks here first, and what the
// menu takes never reaches the game.
#include "menu/menu.h"

#include <map>
#include <optional>

namespace zindle::menu_input {

// TAB opens the menu on a keyboard and closes it again.
bool togglesMenu(int keyCode);
// The command a key gives an open menu; nothing for the rest.
std::optional<Menu::Command> keyCommand(int keyCode);
// The character a key types on a page that takes text (letters and digits; '\b' for
// BACKSPACE); nothing for the rest.
std::optional<char> typedCharacter(int keyCode);

// Back (Select) opens a pad's menu and closes it again.
bool buttonTogglesMenu(int button);
// The command a pad button gives an open menu: A and Start choose, B goes back, the D-pad's
// up and down (or the stick's) move; nothing for the rest.
std::optional<Menu::Command> buttonCommand(int button);

// The steering axis as LEFT and RIGHT: one command each time a pad's stick or D-pad goes over
// to a side, none while it stays there.
class SteeringSides {
public:
    std::optional<Menu::Command> moved(int device, int value);

private:
    std::map<int, int> side_; // device -> -1, 0, +1
};

} // namespace zindle::menu_input
