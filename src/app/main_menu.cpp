// The pages of the game's menu. Choices that change the match go through Main::input as the
// keys for them would, so that replays and peers see them like any other input.
#include "app/main_menu.h"

#include "app/clip_saver.h"
#include "app/settings_menu.h"
#include "base/rules.h"
#include "framework/keyboard.h"
#include "framework/lib.h"
#include "framework/media.h"
#include "input/input_record.h"
#include "loop/main.h"
#include "match/game.h"

#include <memory>

namespace zindle {
namespace {

constexpr const char* kBack = "BACK";
constexpr char kBlank = '_'; // a code's characters not typed yet

MenuEntry backEntry() {
    return menuEntry(kBack, [](Menu& menu) { menu.back(); });
}

const Game* runningGame() {
    return Main::board ? dynamic_cast<const Game*>(Main::board->match()) : nullptr;
}

// CTRL and the player's number, pressed and let go, as a keyboard would give them.
void toggleComputer(int player) {
    if (!Main::instance)
        return;
    InputRecord record;
    record.code = Keyboard::NUMBER_1 + player;
    record.modifiers = InputRecord::kCtrl;
    record.kind = InputRecord::Kind::KeyDown;
    Main::instance->input(record);
    record.kind = InputRecord::Kind::KeyUp;
    Main::instance->input(record);
}

MenuPage computerPlayersPage() {
    MenuPage page;
    page.title = "COMPUTER PLAYERS";
    for (int player = 0; player < rules::kPlayers; ++player) {
        MenuEntry entry;
        entry.label = [player] {
            const Game* game = runningGame();
            const bool on = game && static_cast<std::size_t>(player) < game->aiFlags.size() &&
                            game->aiFlags[static_cast<std::size_t>(player)];
            return "PLAYER " + std::to_string(player + 1) + (on ? ": COMPUTER" : ": NOBODY");
        };
        entry.choose = [player](Menu&) { toggleComputer(player); };
        page.entries.push_back(std::move(entry));
    }
    page.entries.push_back(backEntry());
    return page;
}

// A page that says one thing (a problem, or what is happening) with a way back.
MenuPage sayingPage(std::string title, std::string line) {
    MenuPage page;
    page.title = std::move(title);
    page.lines.push_back(std::move(line));
    page.entries.push_back(backEntry());
    return page;
}

MenuPage hostPage(const std::shared_ptr<MainMenuServices>& services) {
    MenuPage page;
    page.title = "YOUR ROOM";
    page.lines = {"OPENING THE ROOM..."};
    page.entries.push_back(backEntry());
    page.refresh = [services](MenuPage& shown) {
        const std::string link = services->roomLink ? services->roomLink() : "";
        if (link.empty() || (!shown.lines.empty() && shown.lines.front() == link))
            return;
        shown.lines = {link};
        if (services->qrCode)
            shown.picture = services->qrCode(link);
        shown.lines.push_back(shown.picture.size > 0 ? "SCAN IT OR SHARE THE LINK"
                                                     : "SHARE THE LINK");
        shown.entries.clear();
        shown.entries.push_back(menuEntry("COPY LINK", [link](Menu& menu) {
            media_set_clipboard_text(link);
            menu.page().lines.back() = "THE LINK IS ON THE CLIPBOARD";
        }));
        shown.entries.push_back(backEntry());
    };
    return page;
}

MenuPage typeCodePage(const std::shared_ptr<MainMenuServices>& services) {
    MenuPage page;
    page.title = "TYPE A ROOM CODE";
    page.lines = {std::string(kRoomCodeCharacters, kBlank), ""};
    page.typed = [](MenuPage& shown, char c) {
        std::string& code = shown.lines.front();
        const std::size_t typed =
            code.find(kBlank) == std::string::npos ? code.size() : code.find(kBlank);
        if (c == '\b' && typed > 0)
            code[typed - 1] = kBlank;
        else if (c != '\b' && typed < code.size())
            code[typed] = c;
        shown.lines.back().clear();
    };
    page.entries.push_back(menuEntry("JOIN", [services](Menu& menu) {
        const std::string code = menu.page().lines.front();
        if (code.find(kBlank) != std::string::npos) {
            menu.page().lines.back() = "A CODE HAS 13 CHARACTERS";
            return;
        }
        const std::string problem = services->joinCode(code);
        if (problem.empty())
            menu.close();
        else
            menu.page().lines.back() = problem;
    }));
    page.entries.push_back(backEntry());
    return page;
}

MenuPage onlinePage(const std::shared_ptr<MainMenuServices>& services) {
    MenuPage page;
    page.title = "PLAY ONLINE";
    if (services->hostRoom)
        page.entries.push_back(menuEntry("HOST A ROOM", [services](Menu& menu) {
            const std::string problem = services->hostRoom();
            menu.push(problem.empty() ? hostPage(services) : sayingPage("NO ROOM", problem));
        }));
    if (services->joinLink)
        page.entries.push_back(menuEntry("JOIN FROM THE CLIPBOARD", [services](Menu& menu) {
            const auto text = media_get_clipboard_text();
            const std::string problem =
                text ? services->joinLink(*text) : "THE CLIPBOARD HOLDS NO TEXT";
            if (problem.empty())
                menu.close();
            else
                menu.push(sayingPage("NOT JOINED", problem));
        }));
    if (services->joinCode)
        page.entries.push_back(menuEntry(
            "TYPE A ROOM CODE", [services](Menu& menu) { menu.push(typeCodePage(services)); }));
    page.entries.push_back(backEntry());
    return page;
}

} // namespace

std::unique_ptr<Menu> makeMainMenu(MainMenuServices given) {
    auto services = std::make_shared<MainMenuServices>(std::move(given));
    return std::make_unique<Menu>([services] {
        MenuPage page;
        page.title = "MENU";
        if (services->hostRoom || services->joinLink || services->joinCode)
            page.entries.push_back(menuEntry(
                "PLAY ONLINE", [services](Menu& menu) { menu.push(onlinePage(services)); }));
        page.entries.push_back(
            menuEntry("COMPUTER PLAYERS", [](Menu& menu) { menu.push(computerPlayersPage()); }));
        if (!services->replayFolder.empty())
            page.entries.push_back(menuEntry("REPLAYS", [services](Menu& menu) {
                menu.push(replaysPage(services->replayFolder));
            }));
        if (dynamic_cast<ClipSaver*>(Main::overlay.get()))
            page.entries.push_back(menuEntry("SAVE CLIP", [](Menu& menu) {
                // Closed, so that the clip's line at the top of the screen shows.
                menu.close();
                if (auto* clips = dynamic_cast<ClipSaver*>(Main::overlay.get()))
                    clips->press();
            }));
        page.entries.push_back(
            menuEntry("SETTINGS", [](Menu& menu) { menu.push(settingsPage()); }));
        page.entries.push_back(menuEntry("QUIT", [](Menu&) { System::exit(0); }));
        return page;
    });
}

} // namespace zindle
