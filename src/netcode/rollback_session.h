#pragma once
// One peer's side of an online match. Every step runs at once with the inputs at hand, a remote
// seat's missing input predicted as its last known one; when an input for a past tick turns out
// different, the state saved at that tick comes back and the ticks since are simulated again
// within the same frame. Inputs apply once per tick of kStepsPerTick steps (one nominal frame).
#include "netcode/peer_message.h"
#include "netcode/rollback_world.h"
#include "netcode/seat_input.h"

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zindle::net {

inline constexpr int kStepsPerTick = 5;        // fixed steps of 1/300 s per input tick
inline constexpr int kTicksPerSecond = 60;     // so a tick is one nominal frame
inline constexpr int kMaxRollbackTicks = 15;   // 0.25 s
inline constexpr int kMaxInputDelay = 3;       // ticks
inline constexpr int kChecksumEveryTicks = 60; // once a second
inline constexpr std::size_t kSnapshotSlots = kMaxRollbackTicks + 1;
inline constexpr std::size_t kInputHistory = 256; // ticks of inputs kept, a power of two

// The network's share of one ping's round trip: from sending the ping until its answer arrived,
// less the time the ping waited at the answerer (an untrusted figure from the network, so it
// is held within the trip). Never negative, never more than the whole trip.
double networkRoundTripMs(double sentMs, double answerArrivedMs, double answerHeldMs);

// Sends bytes to another peer of the room; the session does not care how they travel.
class PeerTransport {
public:
    virtual ~PeerTransport() = default;
    virtual void send(int peer, std::vector<std::uint8_t> bytes) = 0;
};

struct RollbackStats {
    std::int64_t rollbacks = 0;        // rollbacks done
    std::int64_t resimulatedSteps = 0; // steps simulated a second (or later) time
    int deepestRollback = 0;           // ticks
    std::int64_t stalledSteps = 0;     // steps withheld because the rollback window was full
    std::int64_t pacedSteps = 0;       // steps withheld to let slower peers catch up
    std::int64_t desyncs = 0;          // checksum mismatches seen
    std::int64_t statesAdopted = 0;    // states taken from the host
    std::int64_t statesSent = 0;       // states sent, as the host, to peers out of step
    std::int64_t droppedMessages = 0;  // refused as malformed or not fitting
    // Seconds the last frame spent simulating again, by the measuring clock.
    double lastFrameResimulationSeconds = 0;
};

class RollbackSession {
public:
    struct Config {
        int self = 0; // this peer's number in the room
        int host = 0; // the peer whose state wins a disagreement
        std::array<int, kSeats> seatOwners{-1, -1, -1, -1}; // peer per seat, -1: empty seat
        // Peers in the room that hold no seat (they watch); seat holders and the host are
        // in the room anyway.
        std::vector<int> watchers;
        // Fixed input delay in ticks; unset: chosen from the measured round trip.
        std::optional<int> inputDelay;
        // Seconds, for measuring re-simulation only; empty: the steady clock. A benchmark on a
        // shared machine passes the thread's processor time.
        std::function<double()> measuringClock;
    };

    RollbackSession(Config config, RollbackWorld& world, PeerTransport& transport);
    RollbackSession(const RollbackSession&) = delete;
    RollbackSession& operator=(const RollbackSession&) = delete;

    // A local seat's input for the next tick that takes one (held keys persist until changed).
    void setLocalInput(int seat, const SeatInput& input);
    // Bytes from peer, from the network: anything may come. They are read now; arrivedMs is
    // when they came off the network, where the carrier can tell (an earlier time than now
    // when they waited for this frame).
    void receive(int peer, std::span<const std::uint8_t> bytes, double nowMs, double arrivedMs);
    void receive(int peer, std::span<const std::uint8_t> bytes, double nowMs) {
        receive(peer, bytes, nowMs, nowMs);
    }
    // One display frame: runs up to dueSteps steps (fewer when ahead of the others or when the
    // rollback window is full), after any rollback the arrived inputs call for. Returns the
    // steps run. Then sends what the others need.
    int advanceFrame(int dueSteps, double nowMs);

    std::uint64_t tick() const { return tick_; }
    int stepInTick() const { return stepInTick_; }
    // All inputs of ticks before this one are known.
    std::uint64_t confirmedTick() const;
    int inputDelay() const { return delay_; }
    double roundTripMs() const { return rttMs_; }
    // That peer's own smoothed round trip; -1 before one is measured or for no such peer.
    double roundTripMsTo(int peer) const;
    const RollbackStats& stats() const { return stats_; }
    // The checksum at the start of every confirmed tick, in order: the same on every peer.
    void onConfirmedState(std::function<void(std::uint64_t tick, std::uint64_t checksum)> f) {
        confirmedState_ = std::move(f);
    }
    // Every tick's inputs once confirmed, in order (a replay records from them).
    void onConfirmedInputs(std::function<void(std::uint64_t tick, const SeatInputs&)> f) {
        confirmedInputs_ = std::move(f);
    }
    void onLog(std::function<void(const std::string&)> f) { log_ = std::move(f); }
    // This peer still disagrees with the host after taking the host's state again and again:
    // its own game is at fault, and it is the one that should leave.
    bool outOfStep() const { return outOfStep_; }

private:
    struct SentPing {
        std::uint32_t id = 0;
        double sentMs = 0;
    };
    struct RemotePeer {
        std::uint64_t theyHaveUntil = 0; // their acknowledgement of our inputs
        double presentTick = 0;          // their last reported tick
        double heardAtMs = 0;            // when it was reported
        bool heard = false;
        double rttMs = -1;
        // Pings not yet answered, newest last: only an answer to one of them is a sample, so
        // a repeated, late or made-up answer measures nothing.
        std::deque<SentPing> unanswered;
        double aheadTicks = 0;    // how far this peer runs ahead of that one, smoothed
        bool stateWanted = false; // the host owes this peer its state
        double stateSentAtMs = -1e9;
        // States sent since its checksums last agreed; past a few it gets no more.
        int statesSinceAgreement = 0;
        bool givenUp = false;
    };

    bool localSeat(int seat) const { return config_.seatOwners[seat] == config_.self; }
    bool remoteSeat(int seat) const {
        return config_.seatOwners[seat] >= 0 && config_.seatOwners[seat] != config_.self;
    }
    SeatInput& stored(std::uint64_t tick, int seat) {
        return inputs_[tick & (kInputHistory - 1)][static_cast<std::size_t>(seat)];
    }
    SeatInput expected(std::uint64_t tick, int seat);
    SeatInputs inputsFor(std::uint64_t tick);
    std::size_t slotOf(std::uint64_t tick) const { return tick % kSnapshotSlots; }
    std::uint64_t appliedEnd() const { return tick_ + (stepInTick_ > 0 ? 1 : 0); }

    void handleInputs(int peer, const InputsMessage& m, double arrivedMs);
    void handlePing(int peer, const PingMessage& m, double nowMs, double arrivedMs);
    void handleChecksum(int peer, const ChecksumMessage& m);
    void compareChecksum(int peer, std::uint64_t tick, std::uint64_t ours, std::uint64_t theirs);
    void handleState(int peer, StateMessage m);
    void adoptPendingState();
    void fillLocalInputs();
    void rollBackIfNeeded();
    void runStep(bool replaying);
    void tickBoundary(bool replaying);
    void noteConfirmed();
    int pacedSteps(int dueSteps, double nowMs);
    void sendAll(double nowMs);
    void chooseDelay(double nowMs);
    void log(const std::string& line) const;
    double measure() const;

    Config config_;
    RollbackWorld& world_;
    PeerTransport& transport_;
    std::uint64_t tick_ = 0;
    int stepInTick_ = 0;
    int delay_ = 0;
    std::array<SeatInputs, kInputHistory> inputs_{};
    std::array<SeatInputs, kInputHistory> used_{};    // what each simulated tick was given
    std::array<std::uint64_t, kInputHistory> sums_{}; // the checksum at each tick's start
    std::array<std::uint64_t, kSeats> knownUntil_{};  // per seat: inputs before this are known
    std::array<SeatInput, kSeats> pendingLocal_{};
    std::array<bool, kSeats> pendingEvent_{};
    std::uint64_t localNext_ = 0; // the next tick to take local inputs
    std::uint64_t scanFrom_ = 0;  // ticks before this were simulated with their true inputs
    std::optional<StateMessage> pendingState_; // the host's, until it can be adopted
    std::optional<std::uint64_t> forcedFrom_;  // an adopted state's tick
    std::optional<std::uint64_t> lastAdopted_; // the tick of the host's state last taken
    int adoptedSinceAgreement_ = 0;
    bool outOfStep_ = false;
    std::uint64_t confirmedReported_ = 0; // ticks whose state has been reported
    std::uint64_t inputsReported_ = 0;
    std::map<int, RemotePeer> peers_;
    std::map<std::uint64_t, std::uint64_t> ownChecksums_;
    std::map<std::pair<int, std::uint64_t>, std::uint64_t> theirChecksums_;
    std::vector<ChecksumMessage> checksumsToSend_;
    double lastPingMs_ = -1e9;
    std::uint32_t nextPingId_ = 0;
    double rttMs_ = -1; // the longest of the peers' smoothed round trips
    double lastDelayChangeMs_ = -1e9;
    RollbackStats stats_;
    std::function<void(std::uint64_t, std::uint64_t)> confirmedState_;
    std::function<void(std::uint64_t, const SeatInputs&)> confirmedInputs_;
    std::function<void(const std::string&)> log_;
};

} // namespace zindle::net
