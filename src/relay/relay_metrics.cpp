// The relay's figures in the text format Prometheus scrapes: one HELP and TYPE line per family,
// counters ending in _total, every refusal reason present even at zero so a rate never starts
// from a missing series.
#include "relay/relay_metrics.h"

namespace zindle::relay {
namespace {

constexpr std::array<std::string_view, kRefusalKinds> kRefusalNames{
    "connection_cap",    "address_cap",    "network_cap",   "slow_reader",
    "oversized_message", "flood",          "malformed",     "room_not_found",
    "room_full",         "seat_taken",     "seat_not_held", "not_in_room",
    "already_in_room",   "too_many_rooms", "rate_limited",  "operator_forbidden",
};

void family(std::string& out, std::string_view name, std::string_view type, std::string_view help) {
    out += "# HELP zindle_relay_";
    out += name;
    out += ' ';
    out += help;
    out += "\n# TYPE zindle_relay_";
    out += name;
    out += ' ';
    out += type;
    out += '\n';
}

void sample(std::string& out, std::string_view name, std::uint64_t value,
            std::string_view labels = {}) {
    out += "zindle_relay_";
    out += name;
    out += labels;
    out += ' ';
    out += std::to_string(value);
    out += '\n';
}

} // namespace

std::string_view refusalName(Refusal refusal) {
    return kRefusalNames[static_cast<std::size_t>(refusal)];
}

Refusal refusalFor(ErrorCode code) {
    switch (code) {
    case ErrorCode::Malformed:
        return Refusal::Malformed;
    case ErrorCode::RoomNotFound:
        return Refusal::RoomNotFound;
    case ErrorCode::RoomFull:
        return Refusal::RoomFull;
    case ErrorCode::SeatTaken:
        return Refusal::SeatTaken;
    case ErrorCode::SeatNotHeld:
        return Refusal::SeatNotHeld;
    case ErrorCode::NotInRoom:
        return Refusal::NotInRoom;
    case ErrorCode::AlreadyInRoom:
        return Refusal::AlreadyInRoom;
    case ErrorCode::TooManyRooms:
        return Refusal::TooManyRooms;
    case ErrorCode::RateLimited:
        return Refusal::RateLimited;
    }
    return Refusal::Malformed;
}

std::string prometheusText(const RelayCounters& counters, const RelayGauges& gauges) {
    struct Gauge {
        std::string_view name, help;
        std::size_t value;
    };
    const Gauge gaugeTable[] = {
        {"rooms", "Rooms open now.", gauges.rooms},
        {"peers", "Connections inside a room now.", gauges.peers},
        {"connections", "Open WebSocket connections now.", gauges.connections},
        {"queued_bytes", "Bytes waiting to be written to peers now.", gauges.queuedBytes},
    };
    struct Counter {
        std::string_view name, help;
        std::uint64_t value;
    };
    const Counter counterTable[] = {
        {"messages_received_total", "Messages the rooms received from peers.", counters.messagesIn},
        {"bytes_received_total", "Bytes of messages the rooms received from peers.",
         counters.bytesIn},
        {"messages_sent_total", "Messages the rooms sent to peers.", counters.messagesOut},
        {"bytes_sent_total", "Bytes of messages the rooms sent to peers.", counters.bytesOut},
    };
    std::string out;
    for (const Gauge& gauge : gaugeTable) {
        family(out, gauge.name, "gauge", gauge.help);
        sample(out, gauge.name, gauge.value);
    }
    for (const Counter& counter : counterTable) {
        family(out, counter.name, "counter", counter.help);
        sample(out, counter.name, counter.value);
    }
    family(out, "refusals_total", "counter", "Peers and requests turned down, by reason.");
    for (std::size_t i = 0; i < kRefusalKinds; ++i)
        sample(out, "refusals_total", counters.refusals[i],
               "{reason=\"" + std::string(kRefusalNames[i]) + "\"}");
    return out;
}

} // namespace zindle::relay
