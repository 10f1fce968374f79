#pragma once
// What a menu screen holds: a title, lines of text, an optional square picture of dark and light
// modules (a room's QR code), and the entries a player moves between. Pages are plain data built
// by whoever owns the choices; the Menu walks and draws them all the same way.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zindle {

class Menu;

// A square of modules, row by row, true for dark. Empty: no picture.
struct ModulePicture {
    int size = 0;
    std::vector<bool> dark;
    bool at(int x, int y) const { return dark[static_cast<std::size_t>(y * size + x)]; }
};

struct MenuEntry {
    // Read each time the entry is drawn, so that a toggle shows its state.
    std::function<std::string()> label;
    // ENTER, A or a tap. May push or pop pages, or close the menu.
    std::function<void(Menu&)> choose;
    // LEFT and RIGHT (-1, +1) on the entry, for values that step (volumes); none: ignored.
    std::function<void(Menu&, int step)> adjust;
};

// An entry whose label never changes.
MenuEntry menuEntry(std::string label, std::function<void(Menu&)> choose);

struct MenuPage {
    std::string title;
    std::vector<std::string> lines; // above the entries, one text line each
    ModulePicture picture;          // between the lines and the entries
    std::vector<MenuEntry> entries;
    // Called once a frame while the page is on top (a room's link arriving); may change the
    // page it is given.
    std::function<void(MenuPage&)> refresh;
    // A page that takes text (a room's code): letters and digits typed, '\b' to take one back.
    // Those keys then type instead of moving.
    std::function<void(MenuPage&, char)> typed;
    // A page that may be waiting for any key (a player's new key): it sees every key's raw code
    // first, TAB and ESC included, and returns true when it took it.
    std::function<bool(int keyCode)> anyKey;
};

} // namespace zindle
