#pragma once
// A room of peers in one process on a simulated clock: each peer's session and world, its
// frames at 60 a second (with its own phase and clock rate), and the emulated network between
// them. Tests and benchmarks play whole matches through it in seconds.
#include "netcode/peer_link_emulator.h"
#include "netcode/rollback_session.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace zindle::net {

struct LabPeerSetup {
    std::unique_ptr<RollbackWorld> world;
    RollbackSession::Config config;
    // Sets the peer's local inputs before its frame (frame counts from 0).
    std::function<void(RollbackSession&, std::int64_t frame)> inputs;
    double phaseMs = 0;   // when its first frame comes
    double clockRate = 1; // its frames come this much faster than nominal
    // Around everything the peer's session does to its world: a world that shares process-wide
    // state with the others swaps its own in and out here.
    std::function<void()> enter;
    std::function<void()> leave;
};

struct LabTrace {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> confirmed; // tick, checksum
};

// A stand-in player for seat: joins early, then steers left and right in a pattern of its own
// (seat 1 also with the stick), changing every few tenths of a second like a person would.
SeatInput scriptedPlayer(int seat, std::int64_t frame);

class RollbackLab {
public:
    RollbackLab(LinkConditions conditions, std::uint64_t seed);
    ~RollbackLab();
    RollbackLab(const RollbackLab&) = delete;
    RollbackLab& operator=(const RollbackLab&) = delete;

    // The peer's number is its place in the order of adding (and must be its config's self).
    int addPeer(LabPeerSetup setup);
    // Plays until the simulated clock reaches untilMs. afterFrame (optional) sees each frame's
    // peer, its steps and the real seconds its session took.
    void run(double untilMs,
             const std::function<void(int peer, int steps, double seconds)>& afterFrame = {});

    RollbackSession& session(int peer);
    RollbackWorld& world(int peer);
    const LabTrace& trace(int peer) const;
    PeerLinkEmulator& network() { return network_; }
    double nowMs() const { return nowMs_; }

private:
    struct Peer;
    class Transport;
    PeerLinkEmulator network_;
    std::vector<std::unique_ptr<Peer>> peers_;
    double nowMs_ = 0;
};

} // namespace zindle::net
