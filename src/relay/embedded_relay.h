#pragma once
// The relay a host's game runs inside itself (`zindle --host`): on a free port, serving the web
// build when it has one, and closing its room when the host leaves, since it goes with the game.
#include "net/room_link.h"
#include "relay/relay_server.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace zindle::relay {

struct EmbeddedRelay {
    std::unique_ptr<RelayServer> server;
    // The relay's address for links, without a room yet.
    RoomLink link;
};

struct EmbeddedRelaySettings {
    std::optional<std::filesystem::path> webRoot;
    // Every interface, so friends on other machines can come in.
    std::string listenAddress = "0.0.0.0";
    // The name or address friends reach this machine by, for the link.
    std::string linkHost = "127.0.0.1";
    LogLine log;
};

// Listens at a free port and serves on a thread of its own until the returned server is
// destroyed. Throws std::runtime_error when it cannot listen.
EmbeddedRelay startEmbeddedRelay(EmbeddedRelaySettings settings);

} // namespace zindle::relay
