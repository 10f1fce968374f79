// The emulated network: a heap of messages by arrival time. Its random numbers come from its own
// generator, never the game's, so emulating a network cannot change a match.
#include "netcode/peer_link_emulator.h"

#include <algorithm>

namespace zindle::net {

namespace {

constexpr double kReorderHold = 1.5; // a held-back message waits this many delays more

bool later(const PeerLinkEmulator::Packet& a, const PeerLinkEmulator::Packet& b) {
    return a.arrivalMs != b.arrivalMs ? a.arrivalMs > b.arrivalMs : a.order > b.order;
}

} // namespace

PeerLinkEmulator::PeerLinkEmulator(LinkConditions conditions, std::uint64_t seed)
    : conditions_(conditions), random_(seed) {}

bool PeerLinkEmulator::chance(double share) {
    // Always draw, so that one condition's share does not shift every later draw.
    const double u = std::uniform_real_distribution<double>(0, 1)(random_);
    return u < share;
}

double PeerLinkEmulator::travelMs() {
    const double jitter =
        std::uniform_real_distribution<double>(-1, 1)(random_) * conditions_.jitterMs;
    double ms = std::max(0.0, conditions_.delayMs + jitter);
    if (chance(conditions_.reorder)) {
        ms += kReorderHold * std::max(conditions_.delayMs, 1.0);
        ++counters_.reordered;
    }
    return ms;
}

void PeerLinkEmulator::send(int from, int to, std::vector<std::uint8_t> bytes, double nowMs) {
    ++counters_.sent;
    const bool lost = chance(conditions_.loss) || from == cutPeer_;
    const bool twice = chance(conditions_.duplicate);
    if (lost) {
        ++counters_.lost;
        return;
    }
    if (twice) {
        ++counters_.duplicated;
        travelling_.push_back({nowMs + travelMs(), nextOrder_++, from, to, bytes});
        std::push_heap(travelling_.begin(), travelling_.end(), later);
    }
    travelling_.push_back({nowMs + travelMs(), nextOrder_++, from, to, std::move(bytes)});
    std::push_heap(travelling_.begin(), travelling_.end(), later);
}

std::vector<PeerLinkEmulator::Packet> PeerLinkEmulator::arrived(double nowMs) {
    std::vector<Packet> out;
    while (!travelling_.empty() && travelling_.front().arrivalMs <= nowMs) {
        std::pop_heap(travelling_.begin(), travelling_.end(), later);
        out.push_back(std::move(travelling_.back()));
        travelling_.pop_back();
        ++counters_.delivered;
    }
    return out;
}

double PeerLinkEmulator::nextArrivalMs() const {
    return travelling_.empty() ? -1 : travelling_.front().arrivalMs;
}

} // namespace zindle::net
