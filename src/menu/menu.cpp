// Walking and drawing the menu's pages. One layout serves the drawing and the taps, so that a
// tap lands on the entry the player sees.
#include "menu/menu.h"

#include "render/text_line.h"
#include "render/tiler.h"

#include <algorithm>
#include <cmath>

namespace zindle {
namespace {

constexpr double kScreenWidthPx = 480;
constexpr double kScreenHeightPx = 320;
constexpr double kPanelWidthPx = 400;
constexpr double kPanelTilePx = 8;   // MENU_PANEL's side
constexpr double kModulePx = 3;      // MODULE_DARK's and MODULE_LIGHT's side
constexpr int kQuietModules = 4;     // light modules around a QR code, for the camera
constexpr double kPaddingPx = 8;     // inside the panel's edge
constexpr double kTitleGapPx = 6;    // below the title
constexpr double kLinePx = 11;       // a text line and the gap under it
constexpr double kEntryPx = 13;      // an entry's row; taps count the whole row
constexpr double kPictureGapPx = 6;  // below the picture
constexpr const char* kMarker = ">"; // before the selected entry

struct Layout {
    double left, top, width, height;
    double titleY, firstLineY, pictureY, firstEntryY;
    double picturePx; // the picture's side, quiet zone included
};

Layout layoutOf(const MenuPage& page) {
    Layout l{};
    l.width = kPanelWidthPx;
    l.left = (kScreenWidthPx - l.width) / 2;
    l.picturePx = page.picture.size > 0 ? (page.picture.size + 2 * kQuietModules) * kModulePx : 0;
    const double content = text_line::kHeightPx + kTitleGapPx +
                           static_cast<double>(page.lines.size()) * kLinePx +
                           (l.picturePx > 0 ? l.picturePx + kPictureGapPx : 0) +
                           static_cast<double>(page.entries.size()) * kEntryPx;
    l.height = std::min(kScreenHeightPx, content + 2 * kPaddingPx);
    l.top = std::max(0.0, std::floor((kScreenHeightPx - l.height) / 2));
    l.titleY = l.top + kPaddingPx;
    l.firstLineY = l.titleY + text_line::kHeightPx + kTitleGapPx;
    l.pictureY = l.firstLineY + static_cast<double>(page.lines.size()) * kLinePx;
    l.firstEntryY = l.pictureY + (l.picturePx > 0 ? l.picturePx + kPictureGapPx : 0);
    return l;
}

void drawPanel(Tiler& tiler, const Layout& l) {
    // Whole tiles edge to edge; the last row and column are pulled back to end at the edge.
    for (double y = l.top; y < l.top + l.height; y += kPanelTilePx)
        for (double x = l.left; x < l.left + l.width; x += kPanelTilePx)
            tiler.drawTile("MENU_PANEL", std::min(x, l.left + l.width - kPanelTilePx),
                           std::min(y, l.top + l.height - kPanelTilePx));
}

void drawPicture(Tiler& tiler, const ModulePicture& picture, double left, double top) {
    const int side = picture.size + 2 * kQuietModules;
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const int mx = x - kQuietModules, my = y - kQuietModules;
            const bool dark =
                mx >= 0 && my >= 0 && mx < picture.size && my < picture.size && picture.at(mx, my);
            tiler.drawTile(dark ? "MODULE_DARK" : "MODULE_LIGHT", left + x * kModulePx,
                           top + y * kModulePx);
        }
    }
}

} // namespace

MenuEntry menuEntry(std::string label, std::function<void(Menu&)> choose) {
    MenuEntry entry;
    entry.label = [label = std::move(label)] { return label; };
    entry.choose = std::move(choose);
    return entry;
}

Menu::Menu(std::function<MenuPage()> root) : root_(std::move(root)) {}

void Menu::open() {
    pages_.clear();
    push(root_ ? root_() : MenuPage{});
}

void Menu::close() {
    pages_.clear();
}

void Menu::back() {
    if (!pages_.empty())
        pages_.pop_back();
}

void Menu::push(MenuPage page) {
    pages_.push_back(Open{std::move(page), 0});
}

void Menu::command(Command command) {
    if (!isOpen())
        return;
    Open& top = pages_.back();
    const int count = static_cast<int>(top.page.entries.size());
    switch (command) {
    case Command::Up:
    case Command::Down:
        // Round the ends, so that the last entry is one step from the first.
        if (count > 0)
            top.selected = (top.selected + (command == Command::Up ? count - 1 : 1)) % count;
        break;
    case Command::Left:
    case Command::Right:
        if (count > 0) {
            // A copy: the action may replace the page that holds it.
            const auto adjust = top.page.entries[static_cast<std::size_t>(top.selected)].adjust;
            if (adjust)
                adjust(*this, command == Command::Left ? -1 : 1);
        }
        break;
    case Command::Choose:
        choose(top.selected);
        break;
    case Command::Back:
        back();
        break;
    }
}

bool Menu::type(char c) {
    if (!isOpen() || !page().typed)
        return false;
    const auto typed = page().typed;
    typed(page(), c);
    return true;
}

bool Menu::takeKey(int keyCode) {
    if (!isOpen() || !page().anyKey)
        return false;
    const auto take = page().anyKey;
    return take(keyCode);
}

void Menu::choose(int entry) {
    if (!isOpen() || entry < 0 || entry >= static_cast<int>(page().entries.size()))
        return;
    pages_.back().selected = entry;
    // A copy: choosing may push, pop or close, which destroys the entry being run.
    const auto action = page().entries[static_cast<std::size_t>(entry)].choose;
    if (action)
        action(*this);
}

void Menu::tap(double x, double y) {
    if (!isOpen())
        return;
    const Layout l = layoutOf(page());
    if (x < l.left || x >= l.left + l.width || y < l.top || y >= l.top + l.height) {
        back();
        return;
    }
    choose(entryAt(x, y));
}

int Menu::entryAt(double x, double y) const {
    if (!isOpen())
        return -1;
    const Layout l = layoutOf(page());
    if (x < l.left || x >= l.left + l.width || y < l.firstEntryY)
        return -1;
    const int row = static_cast<int>(std::floor((y - l.firstEntryY) / kEntryPx));
    return row < static_cast<int>(page().entries.size()) ? row : -1;
}

void Menu::refresh() {
    if (isOpen() && page().refresh) {
        const auto refresh = page().refresh;
        refresh(page());
        Open& top = pages_.back();
        const int count = static_cast<int>(top.page.entries.size());
        top.selected = std::clamp(top.selected, 0, std::max(0, count - 1));
    }
}

void Menu::draw(Tiler& tiler) const {
    if (!isOpen())
        return;
    const MenuPage& shown = page();
    const Layout l = layoutOf(shown);
    const double centre = kScreenWidthPx / 2;
    drawPanel(tiler, l);
    const double room = l.width - 2 * kPaddingPx;
    text_line::drawCentred(tiler, text_line::fitted(tiler, shown.title, room), centre, l.titleY);
    for (std::size_t i = 0; i < shown.lines.size(); ++i)
        text_line::drawCentred(tiler, text_line::fitted(tiler, shown.lines[i], room), centre,
                               l.firstLineY + static_cast<double>(i) * kLinePx);
    if (shown.picture.size > 0)
        drawPicture(tiler, shown.picture, std::floor(centre - l.picturePx / 2), l.pictureY);
    for (std::size_t i = 0; i < shown.entries.size(); ++i) {
        const double y = l.firstEntryY + static_cast<double>(i) * kEntryPx;
        if (y + text_line::kHeightPx > l.top + l.height)
            break; // a page too long for the screen shows what fits
        const std::string label = shown.entries[i].label ? shown.entries[i].label() : "";
        text_line::drawCentred(tiler, label, centre, y);
        if (static_cast<int>(i) == selected())
            text_line::draw(tiler, kMarker,
                            std::floor(centre - text_line::width(tiler, label) / 2) -
                                text_line::width(tiler, kMarker) - 3,
                            y);
    }
}

} // namespace zindle
