#pragma once
#include "net/relay_protocol.h"

#include <optional>
#include <string>

namespace zindle::net {

// Messages to and from a relay; the desktop's WebSocket, a page's, or a test's stand-in.
class RelayConnection {
public:
    virtual ~RelayConnection() = default;
    virtual void send(const relay::Message& message) = 0;
    virtual std::optional<relay::Message> poll() = 0;
    // How long the message poll() last returned had waited since it came off the network; 0
    // where the carrier cannot tell. A peer's round trip leaves this wait out.
    virtual double lastPolledWaitMs() const { return 0; }
    // Empty while the connection lives; why it ended, one line, once it has.
    virtual std::string closedReason() const = 0;
};

} // namespace zindle::net
