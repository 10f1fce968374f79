#pragma once
// One peer's side of an online match, apart from any platform: it joins a room through a relay
// connection, claims seats as this peer's players join, runs the rollback session over the game,
// and applies the room's rules: a peer that leaves (ESC, a lost connection, 3 s of silence)
// takes only its own seats out, and a peer whose host has gone returns to its title.
// The lowest-numbered peer in the room leads: whenever who sits where changes, it starts a new
// round of play from its own match state, which every other peer takes over.
#include "input/input_record.h"
#include "net/log_throttle.h"
#include "net/online_envelope.h"
#include "net/online_game.h"
#include "net/relay_connection.h"
#include "net/relay_protocol.h"
#include "net/rollback_session.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zindle::net {

class OnlineReplayRecorder;

class OnlineMatch {
public:
    enum class Phase { Connecting, InRoom, Left };
    struct Options {
        // Open a room, or join the one with this code.
        std::optional<relay::RoomCodeText> room;
        std::optional<int> inputDelay;
        double silenceLimitMs = 3000;
    };
    // The seat and round trip of a seat held elsewhere, for its panel's mark.
    struct RemoteSeat {
        int seat = 0;
        double roundTripMs = -1;
    };

    OnlineMatch(Options options, RelayConnection& relay, OnlineGame& game);
    ~OnlineMatch();
    OnlineMatch(const OnlineMatch&) = delete;
    OnlineMatch& operator=(const OnlineMatch&) = delete;

    // A live input of this peer: players' keys, pads and CTRL+digit; ESC leaves the room.
    void liveInput(const InputRecord& record);
    // One display frame: reads the relay, runs up to dueSteps steps of the match. Returns the
    // steps run.
    int frame(int dueSteps, double nowMs);
    // Leaves the room at once (ESC does this).
    void leave();

    Phase phase() const { return phase_; }
    // Why this peer left, when it was not its own choice: one line for the title.
    const std::string& leftBecause() const { return leftBecause_; }
    std::optional<relay::RoomCodeText> room() const { return room_; }
    int self() const { return self_; }
    bool leads() const;
    // Peers in the room, this one included.
    std::vector<int> peers() const;
    // This peer's local player number playing seat, if any.
    std::optional<int> localPlayerOf(int seat) const;
    std::vector<RemoteSeat> remoteSeats() const;
    // A bit per seat that another peer holds by the room's latest seat map: those players
    // steer on their own machines. Nothing once this peer has left.
    std::uint8_t seatsHeldElsewhere() const;
    // The session of the round in play, if one is.
    const RollbackSession* session() const { return session_.get(); }
    std::uint32_t round() const { return round_; }

    // Every confirmed tick's checksum, the round with it (peers compare them in tests).
    void onConfirmedState(
        std::function<void(std::uint32_t round, std::uint64_t tick, std::uint64_t checksum)> f) {
        confirmedState_ = std::move(f);
    }
    void onLog(std::function<void(const std::string&)> f) { log_ = std::move(f); }
    // Every round from the next on is recorded into recorder, which must outlive this match
    // or be replaced (null: none).
    void recordInto(OnlineReplayRecorder* recorder) { recorder_ = recorder; }

private:
    class SessionTransport;
    struct Claim {
        int localPlayer = 0;
        int seat = 0;
        SeatInput opening;  // the press that asked for the seat, played when it is held
        int framesLeft = 3; // a press held over a few frames lands in a tick whatever the rate
    };

    void handle(const relay::Message& message, double nowMs, double arrivedMs);
    void handleData(int from, const std::vector<std::uint8_t>& payload, double nowMs,
                    double arrivedMs);
    void startRound(const RoundStart& start, bool adopt);
    void leadNewRoundIfNeeded(double nowMs);
    void claimFor(int localPlayer, const SeatInput& opening);
    void feedLocalInputs();
    void checkSilence(double nowMs);
    void end(const std::string& why);
    void sendEnvelope(Envelope envelope);
    void log(const std::string& line) const;
    std::array<std::uint8_t, relay::kSeatCount> roundHolders() const;

    Options options_;
    RelayConnection& relay_;
    OnlineGame& game_;
    Phase phase_ = Phase::Connecting;
    std::string leftBecause_;
    std::optional<relay::RoomCodeText> room_;
    int self_ = -1;
    bool openedRoom_ = false;
    double welcomedAtMs_ = 0;
    std::map<int, double> peersHeardAt_; // peers in the room but this one, and when last heard
    std::array<std::uint8_t, relay::kSeatCount> holders_{relay::kNoPeer, relay::kNoPeer,
                                                         relay::kNoPeer, relay::kNoPeer};
    std::array<int, relay::kSeatCount> localOfSeat_{-1, -1, -1, -1};
    std::vector<Claim> claims_;
    LocalInputTracker tracker_;
    std::array<bool, kSeats> startHeld_{};
    double relayHeardAtMs_ = 0;
    double lastPingMs_ = -1e9;
    double nowMs_ = 0;
    std::uint32_t nextPing_ = 1;

    std::uint32_t round_ = 0; // 0: none yet
    RoundStart roundSeats_;   // the round's seats and peers (its state is not kept)
    std::unique_ptr<SessionTransport> sessionTransport_;
    std::unique_ptr<RollbackWorld> world_;
    std::unique_ptr<RollbackSession> session_;
    std::map<int, RoundStartAssembler> assemblers_;        // rounds' starts, per sender
    std::map<int, RoundStartAssembler> sessionAssemblers_; // large session messages
    std::vector<Claim> openings_; // presses to play once the round holds their seat

    std::function<void(std::uint32_t, std::uint64_t, std::uint64_t)> confirmedState_;
    std::function<void(const std::string&)> log_;
    // Lines about one peer, held to a few per window.
    mutable LogThrottle peerLines_{[this](std::string_view line) { log_(std::string(line)); }};
    OnlineReplayRecorder* recorder_ = nullptr; // not owned
};

} // namespace zindle::net
