// The lab's clock: the next event is whichever comes first, a peer's frame or a message's
// arrival; messages are read at the next frame of any peer, stamped with their arrival time,
// and frames run five steps each.
#include "netcode/rollback_lab.h"

#include <chrono>
#include <stdexcept>

namespace zindle::net {

namespace {
constexpr double kFrameMs = 1000.0 / kTicksPerSecond;
} // namespace

SeatInput scriptedPlayer(int seat, std::int64_t frame) {
    SeatInput in;
    if (frame >= 30 + 10 * seat && frame < 40 + 10 * seat)
        in.held |= SeatInput::kStart;
    const std::int64_t phase = (frame / (23 + 17 * seat)) % 4;
    if (phase == 1)
        in.held |= SeatInput::kLeft;
    if (phase == 3)
        in.held |= SeatInput::kRight;
    if (seat == 1 && frame % 97 < 20)
        in.stick = static_cast<std::int8_t>(frame % 2 ? kStickSteps : -kStickSteps);
    return in;
}

class RollbackLab::Transport : public PeerTransport {
public:
    Transport(RollbackLab& lab, int self) : lab_(lab), self_(self) {}
    void send(int peer, std::vector<std::uint8_t> bytes) override {
        lab_.network_.send(self_, peer, std::move(bytes), lab_.nowMs_);
    }

private:
    RollbackLab& lab_;
    int self_;
};

struct RollbackLab::Peer {
    LabPeerSetup setup;
    std::unique_ptr<Transport> transport;
    std::unique_ptr<RollbackSession> session;
    std::int64_t frame = 0;
    LabTrace trace;
    double nextFrameMs() const {
        return setup.phaseMs + static_cast<double>(frame) * kFrameMs / setup.clockRate;
    }
};

RollbackLab::RollbackLab(LinkConditions conditions, std::uint64_t seed)
    : network_(conditions, seed) {}

RollbackLab::~RollbackLab() = default;

int RollbackLab::addPeer(LabPeerSetup setup) {
    const int id = static_cast<int>(peers_.size());
    if (setup.config.self != id || !setup.world)
        throw std::invalid_argument("a lab peer's number is its place, and it needs a world");
    auto peer = std::make_unique<Peer>();
    peer->setup = std::move(setup);
    peer->transport = std::make_unique<Transport>(*this, id);
    peer->session =
        std::make_unique<RollbackSession>(peer->setup.config, *peer->setup.world, *peer->transport);
    LabTrace& trace = peer->trace;
    peer->session->onConfirmedState([&trace](std::uint64_t tick, std::uint64_t sum) {
        // After a state adopted from the host, ticks are told again: the later word stands.
        while (!trace.confirmed.empty() && trace.confirmed.back().first >= tick)
            trace.confirmed.pop_back();
        trace.confirmed.emplace_back(tick, sum);
    });
    peers_.push_back(std::move(peer));
    return id;
}

void RollbackLab::run(double untilMs, const std::function<void(int, int, double)>& afterFrame) {
    while (true) {
        Peer* next = nullptr;
        for (auto& peer : peers_)
            if (!next || peer->nextFrameMs() < next->nextFrameMs())
                next = peer.get();
        if (!next || next->nextFrameMs() > untilMs)
            break;
        nowMs_ = next->nextFrameMs();
        for (auto& packet : network_.arrived(nowMs_))
            peers_.at(static_cast<std::size_t>(packet.to))
                ->session->receive(packet.from, packet.bytes, nowMs_, packet.arrivalMs);
        if (next->setup.enter)
            next->setup.enter();
        if (next->setup.inputs)
            next->setup.inputs(*next->session, next->frame);
        const auto start = std::chrono::steady_clock::now();
        const int steps = next->session->advanceFrame(kStepsPerTick, nowMs_);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (next->setup.leave)
            next->setup.leave();
        if (afterFrame)
            afterFrame(next->setup.config.self, steps, seconds);
        ++next->frame;
    }
    nowMs_ = untilMs;
}

RollbackSession& RollbackLab::session(int peer) {
    return *peers_.at(static_cast<std::size_t>(peer))->session;
}

RollbackWorld& RollbackLab::world(int peer) {
    return *peers_.at(static_cast<std::size_t>(peer))->setup.world;
}

const LabTrace& RollbackLab::trace(int peer) const {
    return peers_.at(static_cast<std::size_t>(peer))->trace;
}

} // namespace zindle::net
