// Starting the relay inside the game.
#include "relay/embedded_relay.h"

#include "relay/descriptor_limit.h"

namespace zindle::relay {

EmbeddedRelay startEmbeddedRelay(EmbeddedRelaySettings settings) {
    RelayOptions options;
    options.address = settings.listenAddress;
    options.port = 0;
    options.webRoot = std::move(settings.webRoot);
    options.rules.hostLeavingClosesRoom = true;
    options.log = std::move(settings.log);
    if (const std::string problem = raiseDescriptorLimit(); !problem.empty() && options.log)
        options.log(problem);
    EmbeddedRelay relay;
    relay.server = std::make_unique<RelayServer>(std::move(options));
    relay.link.host = std::move(settings.linkHost);
    relay.link.port = relay.server->listen();
    relay.server->runInBackground();
    return relay;
}

} // namespace zindle::relay
