// Starting the relay inside the game.
#include "relay/embedded_relay.h"

namespace zindle::relay {

EmbeddedRelay startEmbeddedRelay(EmbeddedRelaySettings settings) {
    RelayOptions options;
    options.address = settings.listenAddress;
    options.port = 0;
    options.webRoot = std::move(settings.webRoot);
    options.rules.hostLeavingClosesRoom = true;
    options.log = std::move(settings.log);
    EmbeddedRelay relay;
    relay.server = std::make_unique<RelayServer>(std::move(options));
    relay.link.host = std::move(settings.linkHost);
    relay.link.port = relay.server->listen();
    relay.server->runInBackground();
    return relay;
}

} // namespace zindle::relay
