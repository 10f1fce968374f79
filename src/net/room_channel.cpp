// The relay conversation of one peer: requests out, answers and other peers' bytes in, and the
// room as this peer sees it. Nothing that arrives is trusted: bytes that do not decode, messages
// a relay would never send in this phase, and payloads meant for another peer are dropped.
#include "net/room_channel.h"

#include "net/relay_room_code.h"

#include <algorithm>
#include <sstream>

namespace zindle::net {

using namespace zindle::relay;

std::string describe(ErrorCode code) {
    switch (code) {
    case ErrorCode::Malformed:
        return "the relay could not read a message from this game";
    case ErrorCode::RoomNotFound:
        return "this room does not exist (or is gone)";
    case ErrorCode::RoomFull:
        return "this room is full";
    case ErrorCode::SeatTaken:
        return "that seat is taken";
    case ErrorCode::SeatNotHeld:
        return "that seat is not this player's";
    case ErrorCode::NotInRoom:
        return "not in a room";
    case ErrorCode::AlreadyInRoom:
        return "already in a room";
    case ErrorCode::TooManyRooms:
        return "the relay has no room to spare";
    case ErrorCode::RateLimited:
        return "too many tries; wait a little";
    }
    return "the relay refused";
}

std::uint64_t matchSeed(const RoomCodeText& code) {
    std::uint64_t hash = 1469598103934665603ull; // 64-bit FNV-1a
    for (char c : code)
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return hash;
}

std::optional<SeatedMatch> seatedMatch(const RoomChannel& channel) {
    if (channel.phase() != RoomChannel::Phase::InRoom)
        return std::nullopt;
    SeatedMatch match;
    match.config.self = channel.self();
    match.config.host = channel.isHost() ? channel.self() : 0;
    bool othersSeated = false;
    for (int seat = 0; seat < kSeatCount; ++seat) {
        const std::uint8_t holder = channel.seats().holders[static_cast<std::size_t>(seat)];
        if (holder == kNoPeer)
            continue;
        // A seat held by a peer the room does not know of is a relay's slip: play without it.
        if (holder != channel.self() && !channel.peers().contains(holder))
            continue;
        match.config.seatOwners[static_cast<std::size_t>(seat)] = holder;
        if (holder == channel.self() && match.ownSeat < 0)
            match.ownSeat = seat;
        othersSeated = othersSeated || holder != channel.self();
    }
    if (match.ownSeat < 0 || !othersSeated)
        return std::nullopt;
    for (int peer : channel.peers())
        if (std::find(match.config.seatOwners.begin(), match.config.seatOwners.end(), peer) ==
            match.config.seatOwners.end())
            match.config.watchers.push_back(peer);
    return match;
}

void RoomChannel::openRoom() {
    if (phase_ != Phase::Idle)
        return;
    phase_ = Phase::Asking;
    queue(OpenRoom{}, false);
}

void RoomChannel::joinRoom(const RoomCodeText& code) {
    if (phase_ != Phase::Idle)
        return;
    phase_ = Phase::Asking;
    queue(JoinRoom{code}, false);
}

void RoomChannel::claimSeat(int seat) {
    if (phase_ == Phase::InRoom && seat >= 0 && seat < kSeatCount)
        queue(ClaimSeat{static_cast<std::uint8_t>(seat)}, false);
}

void RoomChannel::leave() {
    if (phase_ == Phase::Asking || phase_ == Phase::InRoom)
        queue(Leave{}, false);
    end("");
}

void RoomChannel::send(int peer, std::vector<std::uint8_t> bytes) {
    if (phase_ != Phase::InRoom || peer < 0 || peer > kEveryPeer)
        return;
    if (bytes.size() + 1 > kMaxPayloadBytes) {
        ++droppedOutgoing_;
        log("peer message too large for the relay, dropped");
        return;
    }
    Bytes payload;
    payload.reserve(bytes.size() + 1);
    payload.push_back(static_cast<std::uint8_t>(peer));
    payload.insert(payload.end(), bytes.begin(), bytes.end());
    queue(Data{heldSeatBits(), std::move(payload)}, true);
}

std::optional<Bytes> RoomChannel::takeOutgoing() {
    if (outgoing_.empty())
        return std::nullopt;
    Bytes next = std::move(outgoing_.front().bytes);
    outgoing_.pop_front();
    return next;
}

void RoomChannel::tick(double nowMs) {
    if (phase_ != Phase::InRoom || nowMs - lastPingMs_ < options_.pingEveryMs)
        return;
    lastPingMs_ = nowMs;
    queue(Ping{++pingNonce_}, false);
}

void RoomChannel::queue(const Message& message, bool droppable) {
    // Requests and pings are few and must not be lost; a full queue makes room by dropping data.
    if (outgoing_.size() >= options_.maxQueuedMessages) {
        if (droppable) {
            ++droppedOutgoing_;
            return;
        }
        const auto data = std::find_if(outgoing_.begin(), outgoing_.end(),
                                       [](const Outgoing& o) { return o.droppable; });
        if (data == outgoing_.end()) {
            ++droppedOutgoing_;
            return;
        }
        outgoing_.erase(data);
        ++droppedOutgoing_;
    }
    outgoing_.push_back({encode(message), droppable});
}

void RoomChannel::received(std::span<const std::uint8_t> bytes) {
    if (phase_ == Phase::Ended)
        return;
    const Decoded decoded = decode(bytes);
    if (!decoded.message) {
        ++droppedIncoming_;
        log(std::string("relay message dropped: ") + describe(decoded.error));
        return;
    }
    handle(*decoded.message);
}

void RoomChannel::handle(const Message& message) {
    if (const auto* welcome = std::get_if<Welcome>(&message)) {
        if (phase_ != Phase::Asking) {
            ++droppedIncoming_;
            return;
        }
        phase_ = Phase::InRoom;
        room_ = welcome->code;
        self_ = welcome->peer;
        host_ = welcome->host;
        return;
    }
    if (const auto* error = std::get_if<Error>(&message)) {
        // A refused open or join leaves nothing to play in; a refused seat is only news.
        if (phase_ == Phase::Asking)
            end(describe(error->code));
        else
            problem_ = describe(error->code);
        return;
    }
    if (phase_ != Phase::InRoom) {
        ++droppedIncoming_;
        return;
    }
    if (const auto* joined = std::get_if<PeerJoined>(&message)) {
        if (joined->peer != self_ && joined->peer != kNoPeer)
            peers_.insert(joined->peer);
    } else if (const auto* left = std::get_if<PeerLeft>(&message)) {
        peers_.erase(left->peer);
    } else if (const auto* seats = std::get_if<relay::SeatMap>(&message)) {
        seats_ = *seats;
        seatsKnown_ = true;
    } else if (const auto* forward = std::get_if<Forward>(&message)) {
        if (forward->payload.empty() || forward->from == self_) {
            ++droppedIncoming_;
            return;
        }
        const std::uint8_t to = forward->payload.front();
        if ((to == self_ || to == kEveryPeer) && peerBytes_)
            peerBytes_(forward->from, std::span(forward->payload).subspan(1));
    } else if (std::holds_alternative<HostGone>(message)) {
        hostGone_ = true;
    } else if (const auto* closed = std::get_if<RoomClosed>(&message)) {
        switch (closed->reason) {
        case CloseReason::HostLeft:
            end("the host left; the room is closed");
            break;
        case CloseReason::Expired:
            end("the room expired");
            break;
        case CloseReason::RelayStopping:
            end("the relay is stopping");
            break;
        }
    } else if (!std::holds_alternative<Pong>(message)) {
        // Requests are the peers' to send, never the relay's.
        ++droppedIncoming_;
    }
}

void RoomChannel::disconnected(const std::string& reason) {
    if (phase_ != Phase::Ended)
        end(reason.empty() ? "the relay is gone" : reason);
}

void RoomChannel::end(const std::string& why) {
    phase_ = Phase::Ended;
    problem_ = why;
    peers_.clear();
    seats_ = {};
    seatsKnown_ = false;
}

std::uint8_t RoomChannel::heldSeatBits() const {
    std::uint8_t bits = 0;
    for (int seat = 0; seat < kSeatCount; ++seat)
        if (self_ >= 0 && seats_.holders[static_cast<std::size_t>(seat)] == self_)
            bits |= static_cast<std::uint8_t>(1u << seat);
    return bits;
}

void RoomChannel::log(const std::string& line) const {
    if (log_)
        log_(line);
}

namespace {
void writeJsonString(std::ostringstream& out, const std::string& text) {
    out << '"';
    for (char c : text) {
        if (c == '"' || c == '\\')
            out << '\\' << c;
        else if (static_cast<unsigned char>(c) < 0x20)
            out << ' ';
        else
            out << c;
    }
    out << '"';
}

const char* phaseName(RoomChannel::Phase phase) {
    switch (phase) {
    case RoomChannel::Phase::Idle:
        return "idle";
    case RoomChannel::Phase::Asking:
        return "asking";
    case RoomChannel::Phase::InRoom:
        return "in-room";
    case RoomChannel::Phase::Ended:
        return "ended";
    }
    return "idle";
}
} // namespace

std::string RoomChannel::statusJson() const {
    std::ostringstream out;
    out << "{\"phase\":\"" << phaseName(phase_) << "\",\"room\":";
    if (room_)
        writeJsonString(out, toString(*room_));
    else
        out << "null";
    out << ",\"self\":" << self_ << ",\"host\":" << (host_ ? "true" : "false")
        << ",\"hostGone\":" << (hostGone_ ? "true" : "false") << ",\"peers\":[";
    const char* comma = "";
    for (int peer : peers_) {
        out << comma << peer;
        comma = ",";
    }
    out << "],\"seats\":[";
    comma = "";
    for (std::uint8_t holder : seats_.holders) {
        out << comma << (holder == kNoPeer ? -1 : static_cast<int>(holder));
        comma = ",";
    }
    out << "],\"problem\":";
    writeJsonString(out, problem_);
    out << '}';
    return out.str();
}

} // namespace zindle::net
