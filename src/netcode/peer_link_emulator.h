#pragma once
// A network between peers on a simulated clock: each message is delayed, jittered (which also
// reorders), lost or duplicated by a seeded generator of its own, so a test's match plays out
// the same way every run, in as little real time as the peers' work takes.
#include <cstdint>
#include <random>
#include <vector>

namespace zindle::net {

struct LinkConditions {
    double delayMs = 0;   // one way, the mean
    double jitterMs = 0;  // added delay drawn uniformly from [-jitter, +jitter]
    double loss = 0;      // share of messages lost
    double duplicate = 0; // share of messages delivered twice (the copy with its own delay)
    double reorder = 0;   // share of messages held back by an extra delay and a half
};

struct LinkCounters {
    std::int64_t sent = 0;
    std::int64_t lost = 0;
    std::int64_t duplicated = 0;
    std::int64_t reordered = 0;
    std::int64_t delivered = 0;
};

class PeerLinkEmulator {
public:
    struct Packet {
        double arrivalMs;
        std::uint64_t order; // ties go in the order sent
        int from;
        int to;
        std::vector<std::uint8_t> bytes;
    };

    PeerLinkEmulator(LinkConditions conditions, std::uint64_t seed);

    void send(int from, int to, std::vector<std::uint8_t> bytes, double nowMs);
    // Every message that has arrived by nowMs, in arrival order.
    std::vector<Packet> arrived(double nowMs);
    // The earliest arrival still travelling; a negative number when nothing travels.
    double nextArrivalMs() const;
    const LinkCounters& counters() const { return counters_; }
    // Until it is cleared, every message from this peer is lost (a cut cable).
    void cut(int peer, bool lost) { cutPeer_ = lost ? peer : -1; }

private:
    double travelMs();
    bool chance(double share);

    LinkConditions conditions_;
    std::mt19937_64 random_;
    std::vector<Packet> travelling_; // a heap by arrival
    std::uint64_t nextOrder_ = 0;
    int cutPeer_ = -1;
    LinkCounters counters_;
};

} // namespace zindle::net
