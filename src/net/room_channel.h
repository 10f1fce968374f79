#pragma once
// One peer's conversation with the relay, as bytes: relay messages in (from anybody, so every
// one is checked), relay messages out through a bounded queue, and what the peer knows of its
// room (code, peers, seats, why it ended). Whatever carries the bytes (a browser's WebSocket, a
// socket thread) stays outside, so the same rules hold on every platform.
#include "net/online_envelope.h"
#include "net/relay_protocol.h"
#include "net/rollback_session.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <set>
#include <span>
#include <string>

namespace zindle::net {

// Peer messages travel inside relay Data, which goes to every other peer of the room: the first
// byte names the peer it is for (kEveryPeer: all), and the others ignore it.

class RoomChannel : public PeerTransport {
public:
    enum class Phase { Idle, Asking, InRoom, Ended };

    struct Options {
        // Messages waiting to leave. Inputs are repeated until acknowledged, so dropping one
        // when the network cannot keep up loses nothing but time.
        std::size_t maxQueuedMessages = 256;
        double pingEveryMs = 1000; // well inside the relay's silence limit
    };

    RoomChannel() : RoomChannel(Options{}) {}
    explicit RoomChannel(Options options) : options_(options) {}

    void openRoom();
    void joinRoom(const relay::RoomCodeText& code);
    void claimSeat(int seat);
    void leave();

    // One whole relay message from the network.
    void received(std::span<const std::uint8_t> bytes);
    // The connection under the channel is gone (reason: one line for the player).
    void disconnected(const std::string& reason);
    // Keeps the relay from taking the peer for a silent one.
    void tick(double nowMs);

    // PeerTransport: bytes for another peer of the room (kEveryPeer for all).
    void send(int peer, std::vector<std::uint8_t> bytes) override;
    // The next relay message to go out, oldest first.
    std::optional<relay::Bytes> takeOutgoing();

    // Peer messages meant for this peer, with the peer they came from.
    void onPeerBytes(std::function<void(int from, std::span<const std::uint8_t>)> f) {
        peerBytes_ = std::move(f);
    }
    void onLog(std::function<void(const std::string&)> f) { log_ = std::move(f); }

    Phase phase() const { return phase_; }
    const std::optional<relay::RoomCodeText>& room() const { return room_; }
    int self() const { return self_; }
    bool isHost() const { return host_; }
    const std::set<int>& peers() const { return peers_; } // the others in the room
    const relay::SeatMap& seats() const { return seats_; }
    // The relay has said who holds which seat: a claim made before that is a guess.
    bool seatsKnown() const { return seatsKnown_; }
    // Why the room ended or a request failed, one line; empty while all is well and after this
    // peer left of its own accord.
    const std::string& problem() const { return problem_; }
    bool hostGone() const { return hostGone_; }
    std::size_t droppedIncoming() const { return droppedIncoming_; }
    std::size_t droppedOutgoing() const { return droppedOutgoing_; }

    // The above as JSON, for a page to show.
    std::string statusJson() const;

private:
    void queue(const relay::Message& message, bool droppable);
    void handle(const relay::Message& message);
    void end(const std::string& why);
    void log(const std::string& line) const;
    std::uint8_t heldSeatBits() const;

    Options options_;
    Phase phase_ = Phase::Idle;
    std::optional<relay::RoomCodeText> room_;
    int self_ = -1;
    bool host_ = false;
    bool hostGone_ = false;
    bool seatsKnown_ = false;
    std::set<int> peers_;
    relay::SeatMap seats_;
    std::string problem_;
    struct Outgoing {
        relay::Bytes bytes;
        bool droppable; // peer data, which is repeated until acknowledged
    };
    std::deque<Outgoing> outgoing_;
    std::size_t droppedIncoming_ = 0;
    std::size_t droppedOutgoing_ = 0;
    double lastPingMs_ = -1e300;
    std::uint32_t pingNonce_ = 0;
    std::function<void(int, std::span<const std::uint8_t>)> peerBytes_;
    std::function<void(const std::string&)> log_;
};

// Every peer of a room starts its match from this seed, which each can read off the room code.
std::uint64_t matchSeed(const relay::RoomCodeText& code);

// A match to start: this peer's first seat and the session's setting of the room.
struct SeatedMatch {
    int ownSeat = -1;
    RollbackSession::Config config;
};
// The match, once this peer holds a seat and some other peer holds one too. The host (whoever
// opened the room, peer 0) settles disagreements.
std::optional<SeatedMatch> seatedMatch(const RoomChannel& channel);

// The line a player reads for a relay's refusal.
std::string describe(relay::ErrorCode code);

} // namespace zindle::net
