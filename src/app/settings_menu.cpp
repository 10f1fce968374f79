// The settings pages edit a copy of the settings through SettingsEditor and hand every change to
// GameSettings, which applies and saves it. The replays page reads its list when it is opened.
#include "app/settings_menu.h"

#include "app/game_settings.h"
#include "app/replay_watching.h"
#include "menu/menu.h"
#include "replay/replay_list.h"
#include "settings/settings_editor.h"

#include <iostream>
#include <memory>
#include <optional>

namespace zindle {

namespace {
constexpr const char* kBack = "BACK";
constexpr std::size_t kFirstKeyLine = 5; // SettingsEditor's lines: 5 settings, then the keys
constexpr std::size_t kReplaysListed = 8;

struct Editing {
    SettingsEditor editor{GameSettings::current()};
    std::string notSaved; // why the last change could not be kept
};

MenuEntry backEntry() {
    return menuEntry(kBack, [](Menu& menu) { menu.back(); });
}

void keep(Editing& e, bool changed) {
    if (!changed)
        return;
    const auto problem = GameSettings::change(e.editor.settings());
    e.notSaved = problem ? "NOT SAVED: " + *problem : "";
    if (problem)
        std::cerr << "zindle: settings not saved: " << *problem << '\n';
}

MenuEntry editorEntry(const std::shared_ptr<Editing>& e, std::size_t line) {
    MenuEntry entry;
    entry.label = [e, line] { return e->editor.label(line) + ": " + e->editor.value(line); };
    entry.choose = [e, line](Menu&) { keep(*e, e->editor.choose(line)); };
    entry.adjust = [e, line](Menu&, int step) { keep(*e, e->editor.adjust(line, step)); };
    return entry;
}

// The page's lines: what went wrong last, else what to do.
void sayHow(const Editing& e, MenuPage& page, const char* how) {
    const std::string& said = !e.editor.message().empty() ? e.editor.message() : e.notSaved;
    page.lines = {said.empty() ? std::string(how) : said};
}

MenuPage keysPage(const std::shared_ptr<Editing>& e) {
    MenuPage page;
    page.title = "KEYS";
    for (std::size_t line = kFirstKeyLine; line < e->editor.lines(); ++line)
        page.entries.push_back(editorEntry(e, line));
    page.entries.push_back(backEntry());
    page.refresh = [e](MenuPage& shown) {
        sayHow(*e, shown,
               e->editor.waitingForKey() ? "PRESS THE NEW KEY, ESC KEEPS THE OLD"
                                         : "CHOOSE A KEY TO CHANGE IT");
    };
    page.anyKey = [e](int code) {
        if (!e->editor.waitingForKey())
            return false;
        keep(*e, e->editor.keyPressed(code));
        return true;
    };
    return page;
}
} // namespace

MenuPage settingsPage() {
    auto e = std::make_shared<Editing>();
    MenuPage page;
    page.title = "SETTINGS";
    for (std::size_t line = 0; line < kFirstKeyLine; ++line)
        page.entries.push_back(editorEntry(e, line));
    page.entries.push_back(menuEntry("KEYS...", [e](Menu& menu) { menu.push(keysPage(e)); }));
    MenuEntry relay;
    relay.label = [] {
        const std::string& address = GameSettings::relayForHosting();
        return "RELAY: " + (address.empty() ? std::string("INSIDE THE GAME") : address);
    };
    relay.choose = [](Menu&) {}; // set in the file: a relay's address is no thing to type here
    page.entries.push_back(std::move(relay));
    page.entries.push_back(backEntry());
    page.refresh = [e](MenuPage& shown) { sayHow(*e, shown, "LEFT AND RIGHT CHANGE A SETTING"); };
    return page;
}

MenuPage replaysPage(const std::filesystem::path& folder) {
    MenuPage page;
    page.title = "REPLAYS";
    for (const auto& file : newestReplays(folder, kReplaysListed)) {
        const ReplaySummary summary = summarizeReplay(file);
        MenuEntry entry;
        const std::string text = describeReplay(summary);
        entry.label = [text] { return text; };
        entry.choose = [file, problem = summary.problem](Menu& menu) {
            const std::optional<std::string> why =
                problem.empty() ? ReplayWatching::watch(file) : std::optional(problem);
            if (!why) {
                menu.close();
                return;
            }
            std::cerr << "zindle: " << *why << '\n';
            menu.page().lines = {"THAT REPLAY CANNOT BE WATCHED"};
        };
        page.entries.push_back(std::move(entry));
    }
    page.lines = {page.entries.empty() ? "NO REPLAYS YET: EVERY MATCH IS KEPT"
                                       : "DATE, LENGTH AND WHO PLAYED"};
    page.entries.push_back(backEntry());
    return page;
}

} // namespace zindle
