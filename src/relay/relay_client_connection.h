#pragma once
// The desktop's relay connection for an online match: the WebSocket client behind the match's
// own small interface, so the match itself knows nothing of sockets or threads.
#include "netcode/relay_connection.h"
#include "relay/relay_client.h"

namespace zindle::relay {

class RelayClientConnection : public net::RelayConnection {
public:
    explicit RelayClientConnection(const RoomLink& link) : client_(link) {}
    void send(const Message& message) override { client_.send(message); }
    std::optional<Message> poll() override { return client_.poll(); }
    double lastPolledWaitMs() const override { return client_.lastPolledWaitMs(); }
    std::string closedReason() const override {
        return client_.status() == RelayClient::Status::Closed ? client_.closeReason()
                                                               : std::string();
    }

private:
    RelayClient client_;
};

} // namespace zindle::relay
