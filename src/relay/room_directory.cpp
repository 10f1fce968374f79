// Rooms, seats and forwarding. Every request from a peer is checked against what that peer holds
// before anything changes; a peer that breaks the protocol is closed, one that merely asks for
// something it cannot have is told so and stays.
#include "relay/room_directory.h"

#include <algorithm>
#include <vector>

namespace zindle::relay {
namespace {

double secondsBetween(TimePoint from, TimePoint to) {
    return std::chrono::duration<double>(to - from).count();
}

std::uint8_t seatBit(std::uint8_t seat) {
    return static_cast<std::uint8_t>(1u << seat);
}

std::uint8_t seatsHeldBy(const SeatMap& seats, std::uint8_t peer) {
    std::uint8_t held = 0;
    for (std::uint8_t seat = 0; seat < kSeatCount; ++seat)
        if (seats.holders[seat] == peer)
            held |= seatBit(seat);
    return held;
}

// Messages only the relay sends: a peer sending one is not speaking this protocol.
bool fromRelayOnly(const Message& message) {
    return std::holds_alternative<Welcome>(message) ||
           std::holds_alternative<PeerJoined>(message) ||
           std::holds_alternative<PeerLeft>(message) || std::holds_alternative<SeatMap>(message) ||
           std::holds_alternative<Forward>(message) || std::holds_alternative<HostGone>(message) ||
           std::holds_alternative<RoomClosed>(message) || std::holds_alternative<Error>(message) ||
           std::holds_alternative<Pong>(message);
}

} // namespace

RoomDirectory::RoomDirectory(RoomRules rules, Transport& transport, LogLine log,
                             RandomSource random)
    : rules_(rules), transport_(transport), log_(std::move(log)), random_(std::move(random)) {}

void RoomDirectory::connected(ConnectionId id, std::string address, TimePoint now) {
    Connection connection;
    connection.address = std::move(address);
    connection.lastHeard = now;
    connection.outOfRoomSince = now;
    connection.activeAt = now;
    connection.byteTokens = rules_.byteBurst;
    connection.tokensAt = now;
    connections_[id] = std::move(connection);
}

void RoomDirectory::received(ConnectionId id, std::span<const std::uint8_t> bytes, TimePoint now) {
    auto found = connections_.find(id);
    if (found == connections_.end())
        return;
    Connection& connection = found->second;
    connection.lastHeard = now;
    ++counters_.messagesIn;
    counters_.bytesIn += bytes.size();
    if (!takeByteTokens(connection, bytes.size(), now)) {
        counters_.refuse(Refusal::Flood);
        drop(id, "flood", now);
        return;
    }
    Decoded decoded = decode(bytes);
    if (!decoded.message || fromRelayOnly(*decoded.message)) {
        send(id, Error{ErrorCode::Malformed});
        drop(id, decoded.message ? "relay-only message" : describe(decoded.error), now);
        return;
    }
    handle(id, connection, std::move(*decoded.message), now);
}

void RoomDirectory::handle(ConnectionId id, Connection& connection, Message message,
                           TimePoint now) {
    if (std::holds_alternative<OpenRoom>(message)) {
        openRoom(id, connection, now);
    } else if (auto* join = std::get_if<JoinRoom>(&message)) {
        joinRoom(id, connection, join->code, now);
    } else if (auto* claim = std::get_if<ClaimSeat>(&message)) {
        claimSeat(id, connection, claim->seat, now);
    } else if (auto* release = std::get_if<ReleaseSeat>(&message)) {
        releaseSeat(id, connection, release->seat);
    } else if (std::holds_alternative<Leave>(message)) {
        if (!connection.room)
            send(id, Error{ErrorCode::NotInRoom});
        else
            leaveRoom(connection, now);
    } else if (auto* data = std::get_if<Data>(&message)) {
        forwardData(id, connection, std::move(*data), now);
    } else if (auto* ping = std::get_if<Ping>(&message)) {
        send(id, Pong{ping->nonce});
    }
}

void RoomDirectory::openRoom(ConnectionId id, Connection& connection, TimePoint now) {
    if (connection.room) {
        send(id, Error{ErrorCode::AlreadyInRoom});
        return;
    }
    if (rooms_.size() >= rules_.maxRooms) {
        log("room cap reached", connection.address, nullptr);
        send(id, Error{ErrorCode::TooManyRooms});
        return;
    }
    RoomCodeText code = makeRoomCode(rules_.shard, random_);
    // Two equal codes in 2^60 are not expected; a broken random source is, and must not hand
    // one room's code to another.
    for (int tries = 0; rooms_.contains(code); ++tries) {
        if (tries == 8) {
            log("no fresh room code", connection.address, nullptr);
            send(id, Error{ErrorCode::TooManyRooms});
            return;
        }
        code = makeRoomCode(rules_.shard, random_);
    }
    Room& room = rooms_[code];
    room.host = id;
    room.peers[0] = id;
    room.emptySince = now;
    connection.room = code;
    connection.peer = 0;
    log("opened room", connection.address, &code);
    send(id, Welcome{code, 0, true});
    send(id, room.seats);
}

void RoomDirectory::joinRoom(ConnectionId id, Connection& connection, const RoomCodeText& code,
                             TimePoint now) {
    if (!takeJoinToken(connection.address, now)) {
        log("join attempts rate-limited", connection.address, nullptr);
        send(id, Error{ErrorCode::RateLimited});
        return;
    }
    if (connection.room) {
        send(id, Error{ErrorCode::AlreadyInRoom});
        return;
    }
    auto found = rooms_.find(code);
    if (found == rooms_.end()) {
        // The code tried is not logged: it is a guess or a typo, and either way not a room.
        log("join of an unknown room", connection.address, nullptr);
        send(id, Error{ErrorCode::RoomNotFound});
        return;
    }
    Room& room = found->second;
    if (room.peers.size() >= rules_.maxPeersPerRoom) {
        send(id, Error{ErrorCode::RoomFull});
        return;
    }
    std::uint8_t peer = 0;
    while (room.peers.contains(peer))
        ++peer;
    send(id, Welcome{code, peer, false});
    for (const auto& [other, otherId] : room.peers)
        send(id, PeerJoined{other});
    broadcast(room, PeerJoined{peer}, id);
    room.peers[peer] = id;
    connection.room = code;
    connection.peer = peer;
    send(id, room.seats);
    log("joined room", connection.address, &code);
}

void RoomDirectory::claimSeat(ConnectionId id, Connection& connection, std::uint8_t seat,
                              TimePoint now) {
    if (!connection.room) {
        send(id, Error{ErrorCode::NotInRoom});
        return;
    }
    Room& room = rooms_.at(*connection.room);
    std::uint8_t& holder = room.seats.holders[seat];
    if (holder == connection.peer) {
        send(id, room.seats);
        return;
    }
    if (holder != kNoPeer) {
        send(id, Error{ErrorCode::SeatTaken});
        return;
    }
    holder = connection.peer;
    connection.activeAt = now;
    broadcast(room, room.seats);
}

void RoomDirectory::releaseSeat(ConnectionId id, Connection& connection, std::uint8_t seat) {
    if (!connection.room) {
        send(id, Error{ErrorCode::NotInRoom});
        return;
    }
    Room& room = rooms_.at(*connection.room);
    if (room.seats.holders[seat] != connection.peer) {
        send(id, Error{ErrorCode::SeatNotHeld});
        return;
    }
    room.seats.holders[seat] = kNoPeer;
    broadcast(room, room.seats);
}

void RoomDirectory::forwardData(ConnectionId id, Connection& connection, Data data, TimePoint now) {
    if (!connection.room) {
        send(id, Error{ErrorCode::NotInRoom});
        return;
    }
    Room& room = rooms_.at(*connection.room);
    if (data.seats & ~seatsHeldBy(room.seats, connection.peer)) {
        log("data for seats not held", connection.address, &*connection.room);
        send(id, Error{ErrorCode::SeatNotHeld});
        return;
    }
    connection.activeAt = now;
    broadcast(room, Forward{connection.peer, data.seats, std::move(data.payload)}, id);
}

void RoomDirectory::leaveRoom(Connection& connection, TimePoint now) {
    const RoomCodeText code = *connection.room;
    Room& room = rooms_.at(code);
    const std::uint8_t peer = connection.peer;
    const bool wasHost = room.peers.at(peer) == room.host;
    room.peers.erase(peer);
    connection.room.reset();
    connection.peer = kNoPeer;
    connection.outOfRoomSince = now;
    bool seatsChanged = false;
    for (std::uint8_t& holder : room.seats.holders)
        if (holder == peer) {
            holder = kNoPeer;
            seatsChanged = true;
        }
    log(wasHost ? "host left room" : "left room", connection.address, &code);
    if (wasHost && rules_.hostLeavingClosesRoom) {
        broadcast(room, HostGone{});
        broadcast(room, RoomClosed{CloseReason::HostLeft});
        for (const auto& [other, otherId] : room.peers) {
            Connection& left = connections_.at(otherId);
            left.room.reset();
            left.peer = kNoPeer;
            left.outOfRoomSince = now;
        }
        rooms_.erase(code);
        log("closed room", connection.address, &code);
        return;
    }
    broadcast(room, PeerLeft{peer});
    if (wasHost)
        broadcast(room, HostGone{});
    if (seatsChanged)
        broadcast(room, room.seats);
    if (room.peers.empty())
        room.emptySince = now;
}

void RoomDirectory::releaseIdleSeats(Room& room, const RoomCodeText& code, TimePoint now) {
    const auto active = [&](ConnectionId id) {
        return now - connections_.at(id).activeAt <= rules_.seatIdleLimit;
    };
    // Alone, or with nobody playing, a holder has nobody to send to: that is no sign.
    if (std::none_of(room.peers.begin(), room.peers.end(),
                     [&](const auto& entry) { return active(entry.second); }))
        return;
    bool changed = false;
    for (std::uint8_t& holder : room.seats.holders) {
        if (holder == kNoPeer || !room.peers.contains(holder) || active(room.peers.at(holder)))
            continue;
        log("seats of a peer that sends nothing released",
            connections_.at(room.peers.at(holder)).address, &code);
        holder = kNoPeer;
        changed = true;
    }
    if (changed)
        broadcast(room, room.seats);
}

void RoomDirectory::disconnected(ConnectionId id, TimePoint now) {
    auto found = connections_.find(id);
    if (found == connections_.end())
        return;
    if (found->second.room)
        leaveRoom(found->second, now);
    connections_.erase(found);
}

void RoomDirectory::drop(ConnectionId id, std::string_view why, TimePoint now) {
    auto found = connections_.find(id);
    if (found == connections_.end())
        return;
    log(why, found->second.address, found->second.room ? &*found->second.room : nullptr);
    disconnected(id, now);
    transport_.close(id);
}

void RoomDirectory::tick(TimePoint now) {
    std::vector<ConnectionId> silent;
    std::vector<ConnectionId> roomless;
    for (const auto& [id, connection] : connections_) {
        if (now - connection.lastHeard > rules_.silenceLimit)
            silent.push_back(id);
        else if (!connection.room && now - connection.outOfRoomSince > rules_.lobbyLimit)
            roomless.push_back(id);
    }
    for (ConnectionId id : silent)
        drop(id, "silent peer dropped", now);
    for (ConnectionId id : roomless)
        drop(id, "in no room for too long, closed", now);

    for (auto& [code, room] : rooms_)
        releaseIdleSeats(room, code, now);
    for (auto it = rooms_.begin(); it != rooms_.end();) {
        if (it->second.peers.empty() && now - it->second.emptySince >= rules_.emptyRoomLifetime) {
            log("room expired", "-", &it->first);
            it = rooms_.erase(it);
        } else {
            ++it;
        }
    }
    // A full bucket is the same as no bucket: forget it, so the table stays as small as the
    // number of addresses that joined lately.
    std::erase_if(joinBuckets_, [&](const auto& entry) {
        const JoinBucket& bucket = entry.second;
        const double refills = secondsBetween(bucket.at, now) /
                               std::chrono::duration<double>(rules_.joinRefill).count();
        return bucket.tokens + refills >= rules_.joinBurst;
    });
}

void RoomDirectory::closeAll(CloseReason reason) {
    for (auto& [code, room] : rooms_)
        broadcast(room, RoomClosed{reason});
    rooms_.clear();
    for (auto& [id, connection] : connections_)
        transport_.close(id);
    connections_.clear();
}

bool RoomDirectory::takeJoinToken(const std::string& address, TimePoint now) {
    auto found = joinBuckets_.find(address);
    if (found == joinBuckets_.end()) {
        // With the table full, a new address waits like one that has used its attempts: the
        // table must not grow with the number of addresses an attacker can send from.
        if (joinBuckets_.size() >= rules_.maxTrackedAddresses)
            return false;
        found = joinBuckets_.emplace(address, JoinBucket{rules_.joinBurst, now}).first;
    }
    JoinBucket& bucket = found->second;
    const double refill = std::chrono::duration<double>(rules_.joinRefill).count();
    bucket.tokens =
        std::min(rules_.joinBurst, bucket.tokens + secondsBetween(bucket.at, now) / refill);
    bucket.at = now;
    if (bucket.tokens < 1)
        return false;
    bucket.tokens -= 1;
    return true;
}

bool RoomDirectory::takeByteTokens(Connection& connection, std::size_t size, TimePoint now) {
    connection.byteTokens = std::min(
        rules_.byteBurst,
        connection.byteTokens + secondsBetween(connection.tokensAt, now) * rules_.bytesPerSecond);
    connection.tokensAt = now;
    connection.byteTokens -= std::max(static_cast<double>(size), kMessageOverheadBytes);
    return connection.byteTokens >= 0;
}

std::size_t RoomDirectory::peerCount() const {
    std::size_t peers = 0;
    for (const auto& [code, room] : rooms_)
        peers += room.peers.size();
    return peers;
}

void RoomDirectory::send(ConnectionId id, const Message& message) {
    if (const auto* error = std::get_if<Error>(&message))
        counters_.refuse(refusalFor(error->code));
    auto bytes = std::make_shared<const Bytes>(encode(message));
    ++counters_.messagesOut;
    counters_.bytesOut += bytes->size();
    transport_.send(id, std::move(bytes));
}

void RoomDirectory::broadcast(const Room& room, const Message& message, ConnectionId except) {
    // Encoded once and shared: a room's forwarding costs one copy of the payload, not three.
    const SharedBytes bytes = std::make_shared<const Bytes>(encode(message));
    for (const auto& [peer, id] : room.peers)
        if (id != except) {
            ++counters_.messagesOut;
            counters_.bytesOut += bytes->size();
            transport_.send(id, bytes);
        }
}

void RoomDirectory::log(std::string_view event, const std::string& address,
                        const RoomCodeText* code) {
    if (!log_)
        return;
    std::string line(event);
    line += " address=" + address;
    if (code)
        line += " room=" + toString(*code);
    log_(line);
}

} // namespace zindle::relay
