#pragma once
// The game's menu: a stack of pages over the title, moved through with a handful of commands
// that keys, pads and taps are all turned into. Closed, it takes no input and draws nothing.
#include "menu/menu_page.h"

#include <functional>
#include <vector>

namespace zindle {

class Tiler;

class Menu {
public:
    enum class Command { Up, Down, Left, Right, Choose, Back };

    // root builds the first page each time the menu opens, so that it shows the state of now.
    explicit Menu(std::function<MenuPage()> root);
    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;

    bool isOpen() const { return !pages_.empty(); }
    void open();
    void close();
    // Back: the page under this one, or closed from the first.
    void back();
    void push(MenuPage page);
    // The page on top (the menu is open).
    MenuPage& page() { return pages_.back().page; }
    const MenuPage& page() const { return pages_.back().page; }
    int selected() const { return pages_.back().selected; }
    std::size_t depth() const { return pages_.size(); }

    void command(Command command);
    // A character for a page that takes text; false when the page takes none.
    bool type(char c);
    // A key's raw code for a page waiting for one; false when it is not waiting.
    bool takeKey(int keyCode);
    // A touch at (x, y) in picture pixels: an entry chooses it; outside the panel goes back.
    void tap(double x, double y);
    // Once a frame while open.
    void refresh();
    // Over everything drawn this frame, in picture pixels (480 by 320).
    void draw(Tiler& tiler) const;

    // The entry under (x, y) in picture pixels, or -1 (for taps; tests).
    int entryAt(double x, double y) const;

private:
    struct Open {
        MenuPage page;
        int selected = 0;
    };
    void choose(int entry);

    std::function<MenuPage()> root_;
    std::vector<Open> pages_;
};

} // namespace zindle
