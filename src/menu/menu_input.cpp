// The menu's keys and buttons in one place, so that the title keeps every other key.
#include "menu/menu_input.h"

#include "framework/keyboard.h"
#include "input/pad_layout.h"

#include <cstdlib>

namespace zindle::menu_input {
namespace {
constexpr int kTab = 9;
constexpr int kBackspace = 8;
// How far the stick goes to count as a side, and how near the middle to let go of it.
constexpr int kSidePressed = 16384;
constexpr int kSideReleased = 8192;
} // namespace

bool togglesMenu(int keyCode) {
    return keyCode == kTab;
}

std::optional<Menu::Command> keyCommand(int keyCode) {
    using Command = Menu::Command;
    switch (keyCode) {
    case Keyboard::UP:
        return Command::Up;
    case Keyboard::DOWN:
        return Command::Down;
    case Keyboard::LEFT:
        return Command::Left;
    case Keyboard::RIGHT:
        return Command::Right;
    case Keyboard::ENTER:
    case Keyboard::NUMPAD_ENTER:
    case Keyboard::SPACE:
        return Command::Choose;
    case Keyboard::ESCAPE:
    case kBackspace:
        return Command::Back;
    default:
        return std::nullopt;
    }
}

std::optional<char> typedCharacter(int keyCode) {
    if (keyCode >= Keyboard::A && keyCode <= Keyboard::Z)
        return static_cast<char>('A' + (keyCode - Keyboard::A));
    if (keyCode >= Keyboard::NUMBER_0 && keyCode <= Keyboard::NUMBER_0 + 9)
        return static_cast<char>('0' + (keyCode - Keyboard::NUMBER_0));
    if (keyCode >= Keyboard::NUMPAD_0 && keyCode <= Keyboard::NUMPAD_0 + 9)
        return static_cast<char>('0' + (keyCode - Keyboard::NUMPAD_0));
    if (keyCode == kBackspace)
        return '\b';
    return std::nullopt;
}

bool buttonTogglesMenu(int button) {
    return button == pad_layout::kBackButton;
}

std::optional<Menu::Command> buttonCommand(int button) {
    using Command = Menu::Command;
    switch (button) {
    case pad_layout::kSouthButton:
    case pad_layout::kStartButton:
        return Command::Choose;
    case pad_layout::kEastButton:
        return Command::Back;
    case pad_layout::kMenuUpButton:
        return Command::Up;
    case pad_layout::kMenuDownButton:
        return Command::Down;
    default:
        return std::nullopt;
    }
}

std::optional<Menu::Command> SteeringSides::moved(int device, int value) {
    int& side = side_[device];
    const int was = side;
    if (value <= -kSidePressed)
        side = -1;
    else if (value >= kSidePressed)
        side = 1;
    else if (std::abs(value) < kSideReleased)
        side = 0;
    if (side == was || side == 0)
        return std::nullopt;
    return side < 0 ? Menu::Command::Left : Menu::Command::Right;
}

} // namespace zindle::menu_input
