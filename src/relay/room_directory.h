#pragma once
// The relay's rooms, seats and peers, apart from any socket: connections come in as ids, bytes
// and the time, and leave as messages and closes through a Transport. The clock is the caller's,
// so expiry and silence are tested by moving a number, not by waiting.
#include "netcode/relay_protocol.h"
#include "netcode/relay_room_code.h"
#include "relay/relay_metrics.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace zindle::relay {

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;
// Connections are numbered from 1; 0 names none.
using ConnectionId = std::uint64_t;
inline constexpr ConnectionId kNoConnection = 0;
using SharedBytes = std::shared_ptr<const Bytes>;

struct RoomRules {
    std::size_t maxRooms = 4096;
    std::size_t maxPeersPerRoom = 8;
    std::chrono::seconds emptyRoomLifetime{60};
    std::chrono::seconds silenceLimit{3};
    // A connection in no room is closed after this long: holding a connection costs the relay
    // a slot of its cap, which idle sockets must not be able to fill.
    std::chrono::seconds lobbyLimit{10};
    // A seat holder that sends no data for this long while others of its room do is not
    // playing: its seats are released, so it cannot hold a match still or keep players out.
    std::chrono::seconds seatIdleLimit{10};
    // Join attempts per address: a burst, then one every joinRefill. Enough for a person retyping
    // a code; at this pace guessing a 60-bit code takes longer than the universe has.
    double joinBurst = 8;
    std::chrono::milliseconds joinRefill{2000};
    std::size_t maxTrackedAddresses = 65536;
    // Bytes per second a connection may send, after a burst; each message counts at least
    // kMessageOverheadBytes so a flood of tiny messages is a flood too.
    // The burst holds a host's largest legitimate sends back to back: a round's start with the
    // whole match state at its biggest, and the state it owes a peer out of step.
    double bytesPerSecond = 256 * 1024;
    double byteBurst = 4 * 1024 * 1024;
    // A relay inside the host's game goes when the game does: the room closes with it.
    bool hostLeavingClosesRoom = false;
    int shard = 0;
};

inline constexpr double kMessageOverheadBytes = 64;

// What the directory asks of the network. close() ends a connection; the directory has already
// forgotten it, so a later disconnected() for that id does nothing.
class Transport {
public:
    virtual ~Transport() = default;
    virtual void send(ConnectionId connection, SharedBytes message) = 0;
    virtual void close(ConnectionId connection) = 0;
};

using LogLine = std::function<void(std::string_view)>;

class RoomDirectory {
public:
    RoomDirectory(RoomRules rules, Transport& transport, LogLine log, RandomSource random);
    RoomDirectory(const RoomDirectory&) = delete;
    RoomDirectory& operator=(const RoomDirectory&) = delete;

    void connected(ConnectionId connection, std::string address, TimePoint now);
    void received(ConnectionId connection, std::span<const std::uint8_t> bytes, TimePoint now);
    void disconnected(ConnectionId connection, TimePoint now);
    // Drops silent peers and rooms empty for too long. Call a few times a second.
    void tick(TimePoint now);
    // Every room is closed and every connection told why: the relay is stopping.
    void closeAll(CloseReason reason);

    std::size_t roomCount() const { return rooms_.size(); }
    std::size_t connectionCount() const { return connections_.size(); }
    bool hasRoom(const RoomCodeText& code) const { return rooms_.contains(code); }
    // Connections inside a room.
    std::size_t peerCount() const;
    // What the rooms have done; the sockets add their own refusals.
    RelayCounters& counters() { return counters_; }

private:
    struct Connection {
        std::string address;
        TimePoint lastHeard;
        double byteTokens = 0;
        TimePoint tokensAt;
        std::optional<RoomCodeText> room;
        std::uint8_t peer = kNoPeer;
        TimePoint outOfRoomSince; // meaningful while room is empty
        TimePoint activeAt;       // its last data, or its last seat claimed
    };
    struct Room {
        ConnectionId host = 0;
        std::map<std::uint8_t, ConnectionId> peers;
        SeatMap seats;
        TimePoint emptySince;
    };
    struct JoinBucket {
        double tokens = 0;
        TimePoint at;
    };

    void handle(ConnectionId id, Connection& connection, Message message, TimePoint now);
    void openRoom(ConnectionId id, Connection& connection, TimePoint now);
    void joinRoom(ConnectionId id, Connection& connection, const RoomCodeText& code, TimePoint now);
    void claimSeat(ConnectionId id, Connection& connection, std::uint8_t seat, TimePoint now);
    void releaseSeat(ConnectionId id, Connection& connection, std::uint8_t seat);
    void forwardData(ConnectionId id, Connection& connection, Data data, TimePoint now);
    void leaveRoom(Connection& connection, TimePoint now);
    void releaseIdleSeats(Room& room, const RoomCodeText& code, TimePoint now);
    bool takeJoinToken(const std::string& address, TimePoint now);
    bool takeByteTokens(Connection& connection, std::size_t size, TimePoint now);
    void drop(ConnectionId id, std::string_view why, TimePoint now);

    void send(ConnectionId id, const Message& message);
    void broadcast(const Room& room, const Message& message, ConnectionId except = kNoConnection);
    void log(std::string_view event, const std::string& address, const RoomCodeText* code);

    RoomRules rules_;
    Transport& transport_;
    LogLine log_;
    RandomSource random_;
    std::unordered_map<ConnectionId, Connection> connections_;
    std::map<RoomCodeText, Room> rooms_;
    std::unordered_map<std::string, JoinBucket> joinBuckets_;
    RelayCounters counters_;
};

} // namespace zindle::relay
