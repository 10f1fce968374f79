// Writing and reading room links.
#include "net/room_link.h"

#include "net/relay_room_code.h"

#include <charconv>

namespace zindle::relay {

std::string formatRoomLink(const RoomLink& link) {
    // A host that comes bracketed already (a browser's hostname for an IPv6 address) keeps its
    // one pair of brackets.
    const bool ipv6 = link.host.find(':') != std::string::npos && !link.host.starts_with('[');
    std::string text = "http://";
    text += ipv6 ? "[" : "";
    text += link.host;
    text += ipv6 ? "]:" : ":";
    text += std::to_string(link.port);
    text += '/';
    if (link.code) {
        text += '#';
        text.append(link.code->begin(), link.code->end());
    }
    return text;
}

std::optional<RoomLink> parseRoomLink(std::string_view text) {
    RoomLink link;
    if (text.starts_with("http://") || text.starts_with("ws://")) {
        text.remove_prefix(text.find("//") + 2);
    } else {
        return std::nullopt;
    }
    const std::size_t pathAt = text.find_first_of("/#");
    std::string_view authority = text.substr(0, pathAt);
    std::string_view rest = pathAt == std::string_view::npos ? "" : text.substr(pathAt);
    std::string_view host;
    std::string_view port;
    if (authority.starts_with("[")) {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        host = authority.substr(1, close - 1);
        std::string_view after = authority.substr(close + 1);
        if (!after.empty() && !after.starts_with(":"))
            return std::nullopt;
        port = after.empty() ? "" : after.substr(1);
    } else {
        const std::size_t colon = authority.find(':');
        host = authority.substr(0, colon);
        if (colon != std::string_view::npos)
            port = authority.substr(colon + 1);
        if (host.find_first_of("@[]") != std::string_view::npos)
            return std::nullopt;
    }
    if (host.empty())
        return std::nullopt;
    link.host = std::string(host);
    if (!port.empty()) {
        unsigned value = 0;
        const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
        if (error != std::errc() || end != port.data() + port.size() || value == 0 || value > 65535)
            return std::nullopt;
        link.port = static_cast<unsigned short>(value);
    }
    std::string_view codeText;
    if (const std::size_t hash = rest.find('#'); hash != std::string_view::npos)
        codeText = rest.substr(hash + 1);
    else if (rest.starts_with("/ws/"))
        codeText = rest.substr(4);
    if (!codeText.empty()) {
        link.code = parseRoomCode(codeText);
        if (!link.code)
            return std::nullopt;
    }
    return link;
}

std::string webSocketTarget(const RoomLink& link) {
    return link.code ? "/ws/" + toString(*link.code) : "/ws";
}

} // namespace zindle::relay
