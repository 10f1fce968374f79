#pragma once
// The game's own menu: its pages and what each entry does. Online play reaches beyond the
// game's core (a relay, the network, a QR code), so the process entry hands those in; a
// missing service leaves its entries out.
#include "menu/menu.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace zindle {

struct MainMenuServices {
    // Opens a room for friends: "" when it is opening, else the reason it cannot.
    std::function<std::string()> hostRoom;
    // The open room's link once the relay has given it, else "".
    std::function<std::string()> roomLink;
    // Joins the room of a link (untrusted text): "" when it is joining, else the reason.
    std::function<std::string(const std::string& link)> joinLink;
    // Joins a room by its code alone, on the relay from the settings: "" or the reason.
    std::function<std::string(const std::string& code)> joinCode;
    // The QR code of a link; an empty picture when none can be made.
    std::function<ModulePicture(const std::string& text)> qrCode;
    // Where the replays are; empty: no replays page.
    std::filesystem::path replayFolder;
};

inline constexpr std::size_t kRoomCodeCharacters = 13;

std::unique_ptr<Menu> makeMainMenu(MainMenuServices services);

} // namespace zindle
