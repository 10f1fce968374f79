#pragma once
// What a relay has done since it started, for its operator: messages and bytes through the rooms,
// refusals by reason, and the gauges of the moment. Counted on the relay's one I/O thread, so
// plain integers; read on that thread too, when /metrics is asked for.
#include "netcode/relay_protocol.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zindle::relay {

// Each way a relay turns a peer or a request down. The first ones are the sockets', the rest
// follow the protocol's error codes.
enum class Refusal : std::uint8_t {
    ConnectionCap,
    AddressCap,
    NetworkCap,
    SlowReader,
    OversizedMessage,
    Flood,
    Malformed,
    RoomNotFound,
    RoomFull,
    SeatTaken,
    SeatNotHeld,
    NotInRoom,
    AlreadyInRoom,
    TooManyRooms,
    RateLimited,
    OperatorForbidden,
    Count,
};

inline constexpr std::size_t kRefusalKinds = static_cast<std::size_t>(Refusal::Count);

// The label value /metrics gives a refusal.
std::string_view refusalName(Refusal refusal);
Refusal refusalFor(ErrorCode code);

struct RelayCounters {
    std::uint64_t messagesIn = 0;
    std::uint64_t bytesIn = 0;
    std::uint64_t messagesOut = 0;
    std::uint64_t bytesOut = 0;
    std::array<std::uint64_t, kRefusalKinds> refusals{};

    void refuse(Refusal refusal) { ++refusals[static_cast<std::size_t>(refusal)]; }
    std::uint64_t refused(Refusal refusal) const {
        return refusals[static_cast<std::size_t>(refusal)];
    }
};

struct RelayGauges {
    std::size_t rooms = 0;
    std::size_t peers = 0;       // connections inside a room
    std::size_t connections = 0; // every open WebSocket
    std::size_t queuedBytes = 0; // written by the rooms, not yet taken by the network
};

// The Prometheus text exposition format, version 0.0.4.
std::string prometheusText(const RelayCounters& counters, const RelayGauges& gauges);

} // namespace zindle::relay
