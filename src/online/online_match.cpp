// The online match: the relay's messages, seat claims, rounds of play led by the lowest peer,
// and the ways a peer leaves. Nothing here waits: every call does what is due and returns.
#include "online/online_match.h"

#include "input/input.h"
#include "netcode/relay_room_code.h"
#include "online/online_replay_recorder.h"

#include <algorithm>

namespace zindle::net {

namespace {

constexpr double kRelayPingEveryMs = 500;
constexpr double kLoneJoinerWaitMs = 1000;
// Session bytes that still fit one relay message with the envelope's header.
constexpr std::size_t kMaxSessionBytes = relay::kMaxPayloadBytes - 64;

std::string roomClosedLine(relay::CloseReason reason) {
    switch (reason) {
    case relay::CloseReason::HostLeft:
    case relay::CloseReason::RelayStopping:
        return "The host left: the room is closed";
    case relay::CloseReason::Expired:
        break;
    }
    return "The room was closed";
}

std::string errorLine(relay::ErrorCode code) {
    switch (code) {
    case relay::ErrorCode::RoomNotFound:
        return "There is no such room (any more)";
    case relay::ErrorCode::RoomFull:
        return "That room is full";
    case relay::ErrorCode::TooManyRooms:
        return "The relay has no room to spare";
    case relay::ErrorCode::RateLimited:
        return "Too many tries: wait a little and join again";
    default:
        return {};
    }
}

} // namespace

class OnlineMatch::SessionTransport : public PeerTransport {
public:
    explicit SessionTransport(OnlineMatch& match) : match_(match) {}
    void send(int peer, std::vector<std::uint8_t> bytes) override {
        const auto to = static_cast<std::uint8_t>(peer);
        // A match state for a peer out of step is far larger than a relay message.
        if (bytes.size() > kMaxSessionBytes) {
            for (Envelope& piece :
                 splitIntoPieces(Envelope::Kind::SessionPiece, match_.round_, to, bytes))
                match_.sendEnvelope(std::move(piece));
            return;
        }
        Envelope e;
        e.to = to;
        e.round = match_.round_;
        e.body = std::move(bytes);
        match_.sendEnvelope(std::move(e));
    }

private:
    OnlineMatch& match_;
};

OnlineMatch::OnlineMatch(Options options, RelayConnection& relay, OnlineGame& game)
    : options_(options), relay_(relay), game_(game),
      sessionTransport_(std::make_unique<SessionTransport>(*this)) {
    if (options_.room)
        relay_.send(relay::JoinRoom{*options_.room});
    else
        relay_.send(relay::OpenRoom{});
    relayHeardAtMs_ = -1;
}

OnlineMatch::~OnlineMatch() {
    session_.reset();
    world_.reset();
}

namespace {

// The peer a line is about ("peer 3 ..."), or nothing.
std::string_view peerNamedIn(std::string_view line) {
    constexpr std::string_view kPeer = "peer ";
    for (std::size_t at = line.find(kPeer); at != std::string_view::npos;
         at = line.find(kPeer, at + 1)) {
        const std::size_t digits = line.find_first_not_of("0123456789", at + kPeer.size());
        const std::size_t end = digits == std::string_view::npos ? line.size() : digits;
        if (end > at + kPeer.size())
            return line.substr(at, end - at);
    }
    return {};
}

} // namespace

void OnlineMatch::log(const std::string& line) const {
    if (!log_)
        return;
    // A peer that sends nonsense sixty times a second costs a few lines and a summary.
    const std::string_view peer = peerNamedIn(line);
    if (peer.empty())
        log_(line);
    else
        peerLines_.line(peer, line, nowMs_ / 1000);
}

bool OnlineMatch::leads() const {
    if (self_ < 0 || (!peersHeardAt_.empty() && peersHeardAt_.begin()->first < self_))
        return false;
    // A peer that joined hears of those already in the room just after its welcome, perhaps a
    // frame later: it does not take the lead of a room it only thinks empty.
    return openedRoom_ || !peersHeardAt_.empty() || nowMs_ - welcomedAtMs_ > kLoneJoinerWaitMs;
}

std::vector<int> OnlineMatch::peers() const {
    std::vector<int> out;
    if (self_ >= 0)
        out.push_back(self_);
    for (const auto& [peer, heard] : peersHeardAt_)
        out.push_back(peer);
    std::sort(out.begin(), out.end());
    return out;
}

std::optional<int> OnlineMatch::localPlayerOf(int seat) const {
    if (seat < 0 || seat >= relay::kSeatCount || localOfSeat_[static_cast<std::size_t>(seat)] < 0)
        return std::nullopt;
    return localOfSeat_[static_cast<std::size_t>(seat)];
}

std::vector<OnlineMatch::RemoteSeat> OnlineMatch::remoteSeats() const {
    std::vector<RemoteSeat> out;
    if (!session_)
        return out;
    for (int seat = 0; seat < relay::kSeatCount; ++seat) {
        const std::uint8_t holder = roundSeats_.holders[static_cast<std::size_t>(seat)];
        if (holder != relay::kNoPeer && holder != self_)
            out.push_back({seat, session_->roundTripMsTo(holder)});
    }
    return out;
}

std::uint8_t OnlineMatch::seatsHeldElsewhere() const {
    std::uint8_t seats = 0;
    if (phase_ != Phase::InRoom)
        return seats;
    for (int seat = 0; seat < relay::kSeatCount; ++seat) {
        const std::uint8_t holder = holders_[static_cast<std::size_t>(seat)];
        if (holder != relay::kNoPeer && holder != self_)
            seats |= static_cast<std::uint8_t>(1u << seat);
    }
    return seats;
}

void OnlineMatch::liveInput(const InputRecord& record) {
    if (phase_ == Phase::Left)
        return;
    if (record.kind == InputRecord::Kind::KeyDown &&
        Input::translateKey(record.code) == Input::ESC) {
        leave();
        return;
    }
    tracker_.record(record);
    for (int local = 0; local < kSeats; ++local) {
        const SeatInput& now = tracker_.peek(local);
        const bool start = (now.held & SeatInput::kStart) != 0;
        const bool pressed = start && !startHeld_[static_cast<std::size_t>(local)];
        startHeld_[static_cast<std::size_t>(local)] = start;
        const bool seated =
            std::find(localOfSeat_.begin(), localOfSeat_.end(), local) != localOfSeat_.end();
        const bool claiming = std::any_of(claims_.begin(), claims_.end(), [local](const Claim& c) {
            return c.localPlayer == local;
        });
        if (seated || claiming || (!pressed && !now.events))
            continue;
        SeatInput opening;
        opening.held = pressed ? SeatInput::kStart : 0;
        opening.events = now.events;
        tracker_.take(local); // the press is kept in the claim, not sent twice
        claimFor(local, opening);
    }
}

void OnlineMatch::claimFor(int localPlayer, const SeatInput& opening) {
    if (phase_ != Phase::InRoom)
        return;
    for (int seat = 0; seat < relay::kSeatCount; ++seat) {
        const bool free = holders_[static_cast<std::size_t>(seat)] == relay::kNoPeer;
        const bool asked = std::any_of(claims_.begin(), claims_.end(),
                                       [seat](const Claim& c) { return c.seat == seat; });
        if (free && !asked) {
            claims_.push_back({localPlayer, seat, opening});
            relay_.send(relay::ClaimSeat{static_cast<std::uint8_t>(seat)});
            return;
        }
    }
    log("no seat is free for local player " + std::to_string(localPlayer + 1));
}

void OnlineMatch::leave() {
    if (phase_ == Phase::Left)
        return;
    relay_.send(relay::Leave{});
    end({});
}

void OnlineMatch::end(const std::string& why) {
    phase_ = Phase::Left;
    leftBecause_ = why;
    if (!why.empty())
        log(why);
    session_.reset();
    world_.reset();
    // Back to this peer's own title: nobody plays on this screen any more.
    game_.takeOutSeats(0x0F);
}

int OnlineMatch::frame(int dueSteps, double nowMs) {
    nowMs_ = nowMs;
    peerLines_.flush(nowMs / 1000);
    if (phase_ == Phase::Left)
        return 0;
    if (relayHeardAtMs_ < 0)
        relayHeardAtMs_ = nowMs;
    while (auto message = relay_.poll()) {
        relayHeardAtMs_ = nowMs;
        handle(*message, nowMs, nowMs - relay_.lastPolledWaitMs());
        if (phase_ == Phase::Left)
            return 0;
    }
    if (const std::string reason = relay_.closedReason(); !reason.empty()) {
        end(phase_ == Phase::Connecting ? "Could not join: " + reason : "Lost the room: " + reason);
        return 0;
    }
    if (nowMs - lastPingMs_ >= kRelayPingEveryMs) {
        relay_.send(relay::Ping{nextPing_++});
        lastPingMs_ = nowMs;
    }
    checkSilence(nowMs);
    if (phase_ != Phase::InRoom)
        return 0;
    leadNewRoundIfNeeded(nowMs);
    if (!session_)
        return 0;
    feedLocalInputs();
    const int steps = session_->advanceFrame(dueSteps, nowMs);
    // Its own game is at fault: it leaves rather than cost the host a state every second.
    if (session_->outOfStep()) {
        relay_.send(relay::Leave{});
        end("Left the room: this game keeps disagreeing with the host's");
        return 0;
    }
    return steps;
}

void OnlineMatch::checkSilence(double nowMs) {
    if (nowMs - relayHeardAtMs_ > options_.silenceLimitMs) {
        end(phase_ == Phase::Connecting ? "Could not join: the relay does not answer"
                                        : "Lost the room: the relay stopped answering");
        return;
    }
    if (phase_ != Phase::InRoom || leads() || !session_ || peersHeardAt_.empty())
        return;
    const auto leader = peersHeardAt_.begin();
    if (nowMs - leader->second > options_.silenceLimitMs) {
        relay_.send(relay::Leave{});
        end("The host stopped answering");
    }
}

void OnlineMatch::handle(const relay::Message& message, double nowMs, double arrivedMs) {
    if (const auto* welcome = std::get_if<relay::Welcome>(&message)) {
        if (phase_ != Phase::Connecting)
            return;
        room_ = welcome->code;
        self_ = welcome->peer;
        openedRoom_ = welcome->host;
        welcomedAtMs_ = nowMs;
        phase_ = Phase::InRoom;
        log("in room " + relay::toString(welcome->code) + " as peer " + std::to_string(self_));
    } else if (const auto* joined = std::get_if<relay::PeerJoined>(&message)) {
        if (joined->peer != self_)
            peersHeardAt_[joined->peer] = nowMs;
    } else if (const auto* left = std::get_if<relay::PeerLeft>(&message)) {
        peersHeardAt_.erase(left->peer);
        assemblers_.erase(left->peer);
        sessionAssemblers_.erase(left->peer);
        log("peer " + std::to_string(left->peer) + " left");
    } else if (const auto* seats = std::get_if<relay::SeatMap>(&message)) {
        holders_ = seats->holders;
        for (int seat = 0; seat < relay::kSeatCount; ++seat)
            if (holders_[static_cast<std::size_t>(seat)] != self_)
                localOfSeat_[static_cast<std::size_t>(seat)] = -1;
        std::erase_if(claims_, [this](const Claim& c) {
            const std::uint8_t holder = holders_[static_cast<std::size_t>(c.seat)];
            if (holder == self_) {
                localOfSeat_[static_cast<std::size_t>(c.seat)] = c.localPlayer;
                openings_.push_back(c);
            }
            // Somebody else's claim came first: the player presses again for another seat.
            return holder != relay::kNoPeer;
        });
    } else if (const auto* forward = std::get_if<relay::Forward>(&message)) {
        if (forward->from == self_)
            return;
        peersHeardAt_[forward->from] = nowMs;
        handleData(forward->from, forward->payload, nowMs, arrivedMs);
    } else if (const auto* closed = std::get_if<relay::RoomClosed>(&message)) {
        end(roomClosedLine(closed->reason));
    } else if (const auto* error = std::get_if<relay::Error>(&message)) {
        if (error->code == relay::ErrorCode::SeatTaken) {
            // The seat map that follows says who has it; until then the claim stays.
            return;
        }
        const std::string line = errorLine(error->code);
        if (!line.empty() && phase_ == Phase::Connecting)
            end("Could not join: " + line);
        else
            log("the relay refused a message (error " +
                std::to_string(static_cast<int>(error->code)) + ")");
    }
}

void OnlineMatch::handleData(int from, const std::vector<std::uint8_t>& payload, double nowMs,
                             double arrivedMs) {
    std::string error;
    const auto envelope = decodeEnvelope(payload, error);
    if (!envelope) {
        log("dropped a message from peer " + std::to_string(from) + ": " + error);
        return;
    }
    if (envelope->to != kEveryPeer && envelope->to != self_)
        return; // for another peer of the room
    if (envelope->kind == Envelope::Kind::Session) {
        if (session_ && envelope->round == round_)
            session_->receive(from, envelope->body, nowMs, arrivedMs);
        return;
    }
    if (envelope->kind == Envelope::Kind::SessionPiece) {
        auto whole = sessionAssemblers_[from].add(*envelope, error);
        if (!error.empty())
            log("peer " + std::to_string(from) + ": " + error);
        else if (whole && session_ && envelope->round == round_)
            session_->receive(from, *whole, nowMs, arrivedMs);
        return;
    }
    const std::vector<int> everyone = peers();
    if (everyone.empty() || from != everyone.front() || envelope->round <= round_) {
        log("dropped a round's start from peer " + std::to_string(from) +
            ", who does not lead the room or sent an old round");
        return;
    }
    auto whole = assemblers_[from].add(*envelope, error);
    if (!error.empty()) {
        log("peer " + std::to_string(from) + ": " + error);
        return;
    }
    if (!whole)
        return;
    auto start = decodeRoundStart(*whole, error);
    if (!start) {
        log("peer " + std::to_string(from) + ": " + error);
        return;
    }
    const auto inRound = [&](std::uint8_t peer) {
        return std::find(start->peers.begin(), start->peers.end(), peer) != start->peers.end();
    };
    const bool seatsMakeSense =
        std::all_of(start->holders.begin(), start->holders.end(), [&](std::uint8_t holder) {
            return holder == relay::kNoPeer || inRound(holder);
        });
    if (!seatsMakeSense || !inRound(static_cast<std::uint8_t>(self_))) {
        log("dropped a round's start from peer " + std::to_string(from) +
            ": its seats name peers not in it");
        return;
    }
    round_ = envelope->round;
    startRound(*start, true);
}

std::array<std::uint8_t, relay::kSeatCount> OnlineMatch::roundHolders() const {
    auto holders = holders_;
    for (std::uint8_t& holder : holders) {
        const bool present = holder == self_ || peersHeardAt_.contains(holder);
        if (!present)
            holder = relay::kNoPeer;
    }
    return holders;
}

void OnlineMatch::leadNewRoundIfNeeded(double nowMs) {
    if (!leads())
        return;
    // A peer silent too long is left out of the next round: the others play on without it.
    for (auto it = peersHeardAt_.begin(); it != peersHeardAt_.end();) {
        if (nowMs - it->second > options_.silenceLimitMs) {
            log("peer " + std::to_string(it->first) + " is silent: playing on without it");
            it = peersHeardAt_.erase(it);
        } else {
            ++it;
        }
    }
    RoundStart next;
    next.holders = roundHolders();
    for (int peer : peers())
        next.peers.push_back(static_cast<std::uint8_t>(peer));
    if (round_ != 0 && next.holders == roundSeats_.holders && next.peers == roundSeats_.peers)
        return;
    std::uint8_t out = 0;
    for (int seat = 0; seat < relay::kSeatCount; ++seat) {
        const std::uint8_t was = roundSeats_.holders[static_cast<std::size_t>(seat)];
        if (was != relay::kNoPeer && was != next.holders[static_cast<std::size_t>(seat)])
            out |= static_cast<std::uint8_t>(1u << seat);
    }
    session_.reset();
    world_.reset();
    if (out)
        game_.takeOutSeats(out);
    world_ = game_.newWorld();
    // Nothing is held when a round starts, so no key of the last round stays down in it.
    SeatInputs held{};
    for (SeatInput& in : held)
        in = {SeatInput::kHeldMask, 1, 0};
    world_->applyInputs(0, held, SeatInputs{}, false);
    next.state = game_.captureState();
    ++round_;
    for (Envelope& piece : splitRoundStart(round_, encodeRoundStart(next)))
        sendEnvelope(std::move(piece));
    log("leading round " + std::to_string(round_));
    next.state.clear();
    roundSeats_ = next;
    startRound(roundSeats_, false);
}

void OnlineMatch::startRound(const RoundStart& start, bool adopt) {
    roundSeats_.holders = start.holders;
    roundSeats_.peers = start.peers;
    session_.reset();
    if (adopt) {
        world_.reset();
        if (!game_.restoreState(start.state)) {
            log("the round's state is refused: " + game_.refusal());
            relay_.send(relay::Leave{});
            end("Could not take over the host's match");
            return;
        }
        world_ = game_.newWorld();
    }
    RollbackSession::Config config;
    config.self = self_;
    config.host = start.peers.front();
    for (int seat = 0; seat < relay::kSeatCount; ++seat) {
        const std::uint8_t holder = start.holders[static_cast<std::size_t>(seat)];
        config.seatOwners[static_cast<std::size_t>(seat)] = holder == relay::kNoPeer ? -1 : holder;
    }
    for (std::uint8_t peer : start.peers)
        if (std::find(start.holders.begin(), start.holders.end(), peer) == start.holders.end())
            config.watchers.push_back(peer);
    config.inputDelay = options_.inputDelay;
    session_ = std::make_unique<RollbackSession>(config, *world_, *sessionTransport_);
    session_->onLog([this](const std::string& line) { log(line); });
    session_->onConfirmedState([this](std::uint64_t tick, std::uint64_t sum) {
        if (recorder_)
            recorder_->confirmedState(tick, sum);
        if (confirmedState_)
            confirmedState_(round_, tick, sum);
    });
    session_->onConfirmedInputs([this](std::uint64_t tick, const SeatInputs& inputs) {
        if (recorder_)
            recorder_->confirmedInputs(tick, inputs);
    });
    if (recorder_)
        recorder_->roundStarted(game_.captureState());
}

void OnlineMatch::feedLocalInputs() {
    for (int seat = 0; seat < relay::kSeatCount; ++seat) {
        const int local = localOfSeat_[static_cast<std::size_t>(seat)];
        if (local < 0 || roundSeats_.holders[static_cast<std::size_t>(seat)] != self_)
            continue;
        SeatInput input = tracker_.take(local);
        const auto opening = std::find_if(openings_.begin(), openings_.end(),
                                          [seat](const Claim& c) { return c.seat == seat; });
        if (opening != openings_.end()) {
            input.held |= opening->opening.held;
            input.events ^= opening->opening.events;
            opening->opening.events = 0; // an event happens once
            if (--opening->framesLeft == 0)
                openings_.erase(opening);
        }
        session_->setLocalInput(seat, input);
    }
}

void OnlineMatch::sendEnvelope(Envelope envelope) {
    relay_.send(relay::Data{0, encodeEnvelope(envelope)});
}

} // namespace zindle::net
