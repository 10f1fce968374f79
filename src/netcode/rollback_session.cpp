// The rollback session: inputs in and out, the prediction check and re-simulation, the pace
// against the other peers, and the once-a-second checksum with the host's state as the cure.
#include "netcode/rollback_session.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <set>

namespace zindle::net {

namespace {

constexpr double kTickMs = 1000.0 / kTicksPerSecond;
constexpr double kPingEveryMs = 250;
constexpr double kRttSmoothing = 0.2; // share of a new round-trip sample
// Pings a peer may leave unanswered before the oldest is forgotten: two seconds of them, more
// than any round trip the rollback window can hide.
constexpr std::size_t kUnansweredPingsKept = 8;
constexpr double kDelayChangeEveryMs = 1000; // the delay moves by one tick at most this often
// Ticks ahead of the others (allowing for the way their report travelled) beyond which this
// peer runs one step fewer per frame: a fifth of a frame, too little to see. Frames of two
// peers in step may be up to one tick apart in phase, so less than that is no lead.
constexpr double kAheadTicks = 1.5;
constexpr double kAheadSmoothing = 0.1; // share of a frame's new estimate
// Share of the rollback window in use beyond which this peer slows the same way, so that the
// hard stop at the window's end is rarely met.
constexpr double kWindowPressure = 2.0 / 3.0;
constexpr std::uint64_t kChecksumsKept = 16 * kChecksumEveryTicks; // ticks of history
// A state costs the host tens of kilobytes and more: one peer's claims of disagreement get at
// most one every two seconds, and after this many that did not bring agreement, none.
constexpr double kStateEveryMs = 2000;
constexpr int kStatesWithoutAgreement = 3;

std::uint64_t minTick(std::uint64_t a, std::uint64_t b) {
    return a < b ? a : b;
}

} // namespace

double networkRoundTripMs(double sentMs, double answerArrivedMs, double answerHeldMs) {
    const double trip = std::max(answerArrivedMs - sentMs, 0.0);
    // NaN fails every comparison: std::clamp would pass it on, this takes it as no wait.
    const double held = answerHeldMs > 0 ? std::min(answerHeldMs, trip) : 0.0;
    return trip - held;
}

RollbackSession::RollbackSession(Config config, RollbackWorld& world, PeerTransport& transport)
    : config_(config), world_(world), transport_(transport) {
    for (int owner : config_.seatOwners)
        if (owner >= 0 && owner != config_.self)
            peers_[owner];
    if (config_.host != config_.self)
        peers_[config_.host];
    for (int watcher : config_.watchers)
        if (watcher != config_.self)
            peers_[watcher];
    delay_ = std::clamp(config_.inputDelay.value_or(0), 0, kMaxInputDelay);
}

double RollbackSession::measure() const {
    if (config_.measuringClock)
        return config_.measuringClock();
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void RollbackSession::log(const std::string& line) const {
    if (log_)
        log_(line);
}

void RollbackSession::setLocalInput(int seat, const SeatInput& input) {
    if (seat < 0 || seat >= kSeats || !localSeat(seat))
        return;
    SeatInput& pending = pendingLocal_[static_cast<std::size_t>(seat)];
    const std::uint8_t events = pending.events ^ input.events;
    pending = input;
    pending.events = events;
}

std::uint64_t RollbackSession::confirmedTick() const {
    std::uint64_t confirmed = localNext_;
    for (int seat = 0; seat < kSeats; ++seat)
        if (remoteSeat(seat))
            confirmed = minTick(confirmed, knownUntil_[static_cast<std::size_t>(seat)]);
    return confirmed;
}

SeatInput RollbackSession::expected(std::uint64_t tick, int seat) {
    if (localSeat(seat))
        return stored(tick, seat);
    if (!remoteSeat(seat))
        return {};
    const std::uint64_t known = knownUntil_[static_cast<std::size_t>(seat)];
    if (tick < known)
        return stored(tick, seat);
    return known > 0 ? stored(known - 1, seat).heldOnly() : SeatInput{};
}

SeatInputs RollbackSession::inputsFor(std::uint64_t tick) {
    SeatInputs out{};
    for (int seat = 0; seat < kSeats; ++seat)
        out[static_cast<std::size_t>(seat)] = expected(tick, seat);
    return out;
}

void RollbackSession::receive(int peer, std::span<const std::uint8_t> bytes, double nowMs,
                              double arrivedMs) {
    const auto it = peers_.find(peer);
    std::string error;
    const auto message = decodePeerMessage(bytes, error);
    if (it == peers_.end() || !message) {
        ++stats_.droppedMessages;
        log(it == peers_.end() ? "dropped a message from peer " + std::to_string(peer) +
                                     ", who is not in this match"
                               : "peer " + std::to_string(peer) + ": " + error);
        return;
    }
    // A carrier's arrival stamp is never later than the reading.
    arrivedMs = std::min(arrivedMs, nowMs);
    if (const auto* inputs = std::get_if<InputsMessage>(&*message)) {
        // Where the peer was is news from when the message came, not from when it was read.
        handleInputs(peer, *inputs, arrivedMs);
    } else if (const auto* ping = std::get_if<PingMessage>(&*message)) {
        handlePing(peer, *ping, nowMs, arrivedMs);
    } else if (const auto* sum = std::get_if<ChecksumMessage>(&*message)) {
        handleChecksum(peer, *sum);
    } else {
        handleState(peer, std::get<StateMessage>(std::move(*message)));
    }
}

void RollbackSession::handleInputs(int peer, const InputsMessage& m, double arrivedMs) {
    RemotePeer& remote = peers_[peer];
    for (std::uint8_t seat : m.seats) {
        if (config_.seatOwners[seat] != peer) {
            ++stats_.droppedMessages;
            log("peer " + std::to_string(peer) + " sent inputs for seat " + std::to_string(seat) +
                ", which it does not hold");
            return;
        }
    }
    // Acks only grow: an old message arriving late must not make us resend from further back.
    remote.theyHaveUntil = std::max(remote.theyHaveUntil, std::min(m.ack, localNext_));
    // Out-of-order messages may report an older present: keep the newest.
    if (!remote.heard || static_cast<double>(m.present) >= remote.presentTick) {
        remote.presentTick = static_cast<double>(m.present);
        remote.heardAtMs = arrivedMs;
    }
    remote.heard = true;
    // Inputs too far ahead would overwrite history still needed; an honest peer never sends
    // them (it cannot run that far ahead of our inputs).
    const std::uint64_t horizon = localNext_ + kInputHistory / 2;
    for (std::uint8_t seat : m.seats) {
        std::uint64_t& known = knownUntil_[seat];
        for (std::size_t i = 0; i < m.ticks.size(); ++i) {
            const std::uint64_t tick = m.firstTick + i;
            if (tick < known)
                continue; // a repeat: what we have stands
            if (tick > known || tick >= horizon)
                break; // a gap: the next message repeats from our ack
            stored(tick, seat) = m.ticks[i][seat];
            ++known;
        }
    }
}

void RollbackSession::handlePing(int peer, const PingMessage& m, double nowMs, double arrivedMs) {
    RemotePeer& remote = peers_[peer];
    if (!m.reply) {
        // Answered at once; the time the ping waited for this frame goes with the answer, so
        // that the asker's figure holds neither peer's frames.
        const double heldUs =
            std::clamp((nowMs - arrivedMs) * 1000, 0.0, static_cast<double>(kMaxPingHeldUs));
        transport_.send(peer, encodePeerMessage(PingMessage{
                                  m.id, true, static_cast<std::uint32_t>(std::lround(heldUs))}));
        return;
    }
    const auto sent = std::find_if(remote.unanswered.begin(), remote.unanswered.end(),
                                   [&m](const SentPing& p) { return p.id == m.id; });
    if (sent == remote.unanswered.end())
        return; // a copy of an answer already counted, or one to no ping of ours
    const double sample = networkRoundTripMs(sent->sentMs, arrivedMs, m.heldUs / 1000.0);
    remote.unanswered.erase(sent);
    remote.rttMs =
        remote.rttMs < 0 ? sample : remote.rttMs + kRttSmoothing * (sample - remote.rttMs);
}

double RollbackSession::roundTripMsTo(int peer) const {
    const auto found = peers_.find(peer);
    return found == peers_.end() ? -1 : found->second.rttMs;
}

void RollbackSession::handleChecksum(int peer, const ChecksumMessage& m) {
    if (m.tick % kChecksumEveryTicks != 0 || m.tick > confirmedTick() + kInputHistory) {
        ++stats_.droppedMessages;
        return;
    }
    // The first claim for a tick stands: saying it again, or otherwise, changes nothing.
    if (!theirChecksums_.try_emplace({peer, m.tick}, m.checksum).second)
        return;
    const auto own = ownChecksums_.find(m.tick);
    if (own != ownChecksums_.end())
        compareChecksum(peer, m.tick, own->second, m.checksum);
}

void RollbackSession::compareChecksum(int peer, std::uint64_t tick, std::uint64_t ours,
                                      std::uint64_t theirs) {
    RemotePeer& remote = peers_[peer];
    const bool fromHost = peer == config_.host;
    // Only what was confirmed after the host's last state tells whether taking it helped.
    const bool afterAdopting = !lastAdopted_ || tick > *lastAdopted_;
    if (ours == theirs) {
        remote.statesSinceAgreement = 0;
        if (fromHost && afterAdopting)
            adoptedSinceAgreement_ = 0;
        return;
    }
    ++stats_.desyncs;
    log("desync at tick " + std::to_string(tick) + ": ours " + std::to_string(ours) + ", peer " +
        std::to_string(peer) + "'s " + std::to_string(theirs));
    if (fromHost && afterAdopting && adoptedSinceAgreement_ >= kStatesWithoutAgreement &&
        !outOfStep_) {
        outOfStep_ = true;
        log("still disagreeing with the host after " + std::to_string(adoptedSinceAgreement_) +
            " of its states");
    }
    if (config_.self != config_.host || remote.givenUp)
        return;
    if (remote.statesSinceAgreement >= kStatesWithoutAgreement) {
        remote.givenUp = true;
        remote.stateWanted = false;
        log("peer " + std::to_string(peer) + " keeps disagreeing after " +
            std::to_string(kStatesWithoutAgreement) + " states: it gets no more");
        return;
    }
    remote.stateWanted = true;
}

void RollbackSession::handleState(int peer, StateMessage m) {
    if (peer != config_.host) {
        ++stats_.droppedMessages;
        log("peer " + std::to_string(peer) + " sent a match state but is not the host");
        return;
    }
    pendingState_ = std::move(m);
}

void RollbackSession::adoptPendingState() {
    if (!pendingState_)
        return;
    const std::uint64_t tick = pendingState_->tick;
    // Too old: the saved states around it are gone; the next checksum will ask again.
    if (tick + kSnapshotSlots <= appliedEnd()) {
        log("dropped the host's state for tick " + std::to_string(tick) + ": too old");
        pendingState_.reset();
        return;
    }
    // Re-simulating from it needs every input before it settled, as the host had them.
    if (confirmedTick() < tick || tick > appliedEnd())
        return;
    if (!world_.deserialise(slotOf(tick), pendingState_->state)) {
        ++stats_.droppedMessages;
        log("dropped the host's state for tick " + std::to_string(tick) + ": " + world_.refusal());
        pendingState_.reset();
        return;
    }
    ++stats_.statesAdopted;
    ++adoptedSinceAgreement_;
    lastAdopted_ = tick;
    log("adopted the host's state at tick " + std::to_string(tick));
    forcedFrom_ = tick;
    confirmedReported_ = std::min(confirmedReported_, tick);
    pendingState_.reset();
}

void RollbackSession::fillLocalInputs() {
    while (localNext_ <= tick_ + static_cast<std::uint64_t>(delay_)) {
        for (int seat = 0; seat < kSeats; ++seat) {
            if (!localSeat(seat))
                continue;
            SeatInput& pending = pendingLocal_[static_cast<std::size_t>(seat)];
            // The match opens with the delay's ticks of nothing pressed, which is what every
            // other peer predicts for them.
            if (localNext_ < static_cast<std::uint64_t>(delay_)) {
                stored(localNext_, seat) = {};
                continue;
            }
            stored(localNext_, seat) = pending;
            pending.events = 0;
        }
        ++localNext_;
    }
}

void RollbackSession::tickBoundary(bool replaying) {
    const std::size_t slot = slotOf(tick_);
    if (forcedFrom_ && *forcedFrom_ == tick_)
        forcedFrom_.reset(); // the adopted state is already in its slot
    else
        world_.save(slot);
    sums_[tick_ & (kInputHistory - 1)] = world_.checksum(slot);
    const SeatInputs now = inputsFor(tick_);
    const SeatInputs before = tick_ > 0 ? used_[(tick_ - 1) & (kInputHistory - 1)] : SeatInputs{};
    world_.applyInputs(tick_, before, now, replaying);
    used_[tick_ & (kInputHistory - 1)] = now;
}

void RollbackSession::runStep(bool replaying) {
    if (stepInTick_ == 0)
        tickBoundary(replaying);
    world_.step(replaying);
    if (++stepInTick_ == kStepsPerTick) {
        stepInTick_ = 0;
        ++tick_;
    }
}

void RollbackSession::rollBackIfNeeded() {
    std::optional<std::uint64_t> target = forcedFrom_;
    if (!target) {
        for (std::uint64_t t = scanFrom_; t < appliedEnd() && !target; ++t)
            if (used_[t & (kInputHistory - 1)] != inputsFor(t))
                target = t;
    }
    stats_.lastFrameResimulationSeconds = 0;
    if (target) {
        const double start = measure();
        const std::uint64_t endTick = tick_;
        const int endStep = stepInTick_;
        const int depth = static_cast<int>(appliedEnd() - *target);
        world_.load(slotOf(*target), *target);
        tick_ = *target;
        stepInTick_ = 0;
        while (tick_ < endTick || (tick_ == endTick && stepInTick_ < endStep)) {
            runStep(true);
            ++stats_.resimulatedSteps;
        }
        world_.caughtUp();
        stats_.lastFrameResimulationSeconds = measure() - start;
        ++stats_.rollbacks;
        stats_.deepestRollback = std::max(stats_.deepestRollback, depth);
    }
    forcedFrom_.reset();
    scanFrom_ = minTick(confirmedTick(), appliedEnd());
}

void RollbackSession::noteConfirmed() {
    const std::uint64_t confirmed = confirmedTick();
    while (inputsReported_ < confirmed) {
        if (confirmedInputs_)
            confirmedInputs_(inputsReported_, inputsFor(inputsReported_));
        ++inputsReported_;
    }
    // A tick's starting state is final once every input before it is known and was used.
    while (confirmedReported_ <= minTick(confirmed, scanFrom_) &&
           confirmedReported_ < appliedEnd()) {
        const std::uint64_t tick = confirmedReported_++;
        const std::uint64_t sum = sums_[tick & (kInputHistory - 1)];
        if (confirmedState_)
            confirmedState_(tick, sum);
        if (tick % kChecksumEveryTicks != 0)
            continue;
        ownChecksums_[tick] = sum;
        checksumsToSend_.push_back({tick, sum});
        for (const auto& [peer, remote] : peers_) {
            const auto theirs = theirChecksums_.find({peer, tick});
            if (theirs != theirChecksums_.end())
                compareChecksum(peer, tick, sum, theirs->second);
        }
        // Old sums go: only recent ones can still be compared.
        if (tick >= kChecksumsKept) {
            ownChecksums_.erase(ownChecksums_.begin(),
                                ownChecksums_.lower_bound(tick - kChecksumsKept));
            std::erase_if(theirChecksums_, [tick](const auto& entry) {
                return entry.first.second + kChecksumsKept < tick;
            });
        }
    }
}

int RollbackSession::pacedSteps(int dueSteps, double nowMs) {
    if (dueSteps <= 0)
        return 0;
    // Where this peer will be after the frame, as the others report where they were after
    // theirs.
    const double here =
        static_cast<double>(tick_) + static_cast<double>(stepInTick_ + dueSteps) / kStepsPerTick;
    double ahead = 0;
    for (auto& [peer, remote] : peers_) {
        // A peer without a seat steers nothing: where it is does not matter to anyone's
        // inputs, and one that reports itself far behind must not slow the match.
        const bool holdsSeat = std::find(config_.seatOwners.begin(), config_.seatOwners.end(),
                                         peer) != config_.seatOwners.end();
        if (!remote.heard || !holdsSeat)
            continue;
        // Where the other peer is now: its report, plus the time since, plus half the way
        // the report travelled. Jitter makes single estimates swing by a tick or so; the
        // smoothed one only moves when a clock really runs ahead.
        const double travelled = remote.rttMs > 0 ? remote.rttMs / 2 : 0;
        const double there = remote.presentTick + (nowMs - remote.heardAtMs + travelled) / kTickMs;
        remote.aheadTicks += kAheadSmoothing * ((here - there) - remote.aheadTicks);
        ahead = std::max(ahead, remote.aheadTicks);
    }
    const double window = static_cast<double>(appliedEnd()) - static_cast<double>(confirmedTick());
    if (ahead > kAheadTicks || window > kWindowPressure * kMaxRollbackTicks) {
        ++stats_.pacedSteps;
        return dueSteps - 1;
    }
    return dueSteps;
}

int RollbackSession::advanceFrame(int dueSteps, double nowMs) {
    adoptPendingState();
    rollBackIfNeeded();
    noteConfirmed();
    const int steps = pacedSteps(dueSteps, nowMs);
    int run = 0;
    for (; run < steps; ++run) {
        if (stepInTick_ == 0) {
            fillLocalInputs();
            // The window's end: beyond it the saved state a late input needs would be gone.
            if (tick_ >= confirmedTick() + kMaxRollbackTicks) {
                stats_.stalledSteps += steps - run;
                break;
            }
        }
        runStep(false);
    }
    scanFrom_ = minTick(std::max(scanFrom_, minTick(confirmedTick(), appliedEnd())), appliedEnd());
    noteConfirmed();
    chooseDelay(nowMs);
    sendAll(nowMs);
    return run;
}

void RollbackSession::chooseDelay(double nowMs) {
    rttMs_ = -1;
    for (const auto& [peer, remote] : peers_)
        rttMs_ = std::max(rttMs_, remote.rttMs);
    if (config_.inputDelay || rttMs_ < 0 || nowMs - lastDelayChangeMs_ < kDelayChangeEveryMs)
        return;
    // Delay covers the one-way trip but one tick; rollback hides the rest.
    const int wanted =
        std::clamp(static_cast<int>(std::ceil(rttMs_ / 2 / kTickMs)) - 1, 0, kMaxInputDelay);
    if (wanted != delay_) {
        delay_ += wanted > delay_ ? 1 : -1;
        lastDelayChangeMs_ = nowMs;
    }
}

void RollbackSession::sendAll(double nowMs) {
    std::vector<std::uint8_t> ownSeats;
    for (int seat = 0; seat < kSeats; ++seat)
        if (localSeat(seat))
            ownSeats.push_back(static_cast<std::uint8_t>(seat));
    const bool ping = nowMs - lastPingMs_ >= kPingEveryMs;
    if (ping) {
        lastPingMs_ = nowMs;
        ++nextPingId_;
    }
    for (auto& [peer, remote] : peers_) {
        InputsMessage m;
        m.ack = localNext_;
        for (int seat = 0; seat < kSeats; ++seat)
            if (config_.seatOwners[seat] == peer)
                m.ack = minTick(m.ack, knownUntil_[static_cast<std::size_t>(seat)]);
        m.present = tick_;
        m.firstTick = remote.theyHaveUntil;
        if (!ownSeats.empty()) {
            m.seats = ownSeats;
            const std::uint64_t count =
                std::min<std::uint64_t>(localNext_ - m.firstTick, kMaxInputTicks);
            for (std::uint64_t i = 0; i < count; ++i) {
                SeatInputs tick{};
                for (std::uint8_t seat : ownSeats)
                    tick[seat] = stored(m.firstTick + i, seat);
                m.ticks.push_back(tick);
            }
        }
        transport_.send(peer, encodePeerMessage(m));
        for (const ChecksumMessage& sum : checksumsToSend_)
            transport_.send(peer, encodePeerMessage(sum));
        if (ping) {
            remote.unanswered.push_back({nextPingId_, nowMs});
            if (remote.unanswered.size() > kUnansweredPingsKept)
                remote.unanswered.pop_front();
            transport_.send(peer, encodePeerMessage(PingMessage{nextPingId_, false, 0}));
        }
        if (remote.stateWanted && appliedEnd() > 0 &&
            nowMs - remote.stateSentAtMs >= kStateEveryMs) {
            // The newest state every peer must agree on: all inputs before it are settled.
            const std::uint64_t tick = minTick(scanFrom_, appliedEnd() - 1);
            StateMessage state{tick, world_.serialise(slotOf(tick))};
            log("sending peer " + std::to_string(peer) + " the state of tick " +
                std::to_string(tick));
            transport_.send(peer, encodePeerMessage(state));
            remote.stateWanted = false;
            remote.stateSentAtMs = nowMs;
            ++remote.statesSinceAgreement;
            ++stats_.statesSent;
        }
    }
    checksumsToSend_.clear();
}

} // namespace zindle::net
