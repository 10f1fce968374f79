#pragma once
// The link a host shares: http://HOST:PORT/#CODE. Opened in a browser it serves the page, which
// joins the room in its fragment; given to `zindle --join` it names the relay and the room.
#include "net/relay_protocol.h"

#include <optional>
#include <string>
#include <string_view>

namespace zindle::relay {

struct RoomLink {
    std::string host; // a name, an IPv4 address, or an IPv6 address without brackets
    unsigned short port = 80;
    std::optional<RoomCodeText> code;
    bool operator==(const RoomLink&) const = default;
};

std::string formatRoomLink(const RoomLink& link);
// Also takes ws:// addresses and a code as /ws/CODE; nothing for anything it cannot read.
std::optional<RoomLink> parseRoomLink(std::string_view text);
// Where a peer's WebSocket goes: /ws to open a room, /ws/CODE to join one.
std::string webSocketTarget(const RoomLink& link);

} // namespace zindle::relay
