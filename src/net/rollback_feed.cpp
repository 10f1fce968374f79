// The online frame: owed steps from the clock, local inputs handed to the session, the session's
// frame, then one drawing. Steps the session withholds to pace this peer are not owed again:
// game time lags the clock by them, which is how a peer that ran ahead lets the others meet it.
#include "net/rollback_feed.h"

#include "app/main.h"
#include "framework/lib.h"
#include "match/rules.h"

#include <cmath>

namespace zindle::net {

RollbackFeed::RollbackFeed(Game& game, RollbackSession::Config config, SeatMap seats,
                           PeerTransport& transport, std::uint64_t drawingSeed,
                           std::function<double()> clock)
    : world_(std::make_unique<RollbackGameWorld>(game, drawingSeed)),
      session_(std::make_unique<RollbackSession>(config, *world_, transport)), seats_(seats),
      clock_(std::move(clock)) {}

double RollbackFeed::now() const {
    return clock_ ? clock_() : Timer::stamp();
}

void RollbackFeed::receive(int peer, std::span<const std::uint8_t> bytes) {
    session_->receive(peer, bytes, now() * 1000);
}

void RollbackFeed::enterFrame(Main& main) {
    const double seconds = now();
    if (startSeconds_ < 0)
        startSeconds_ = seconds;
    // The nudge keeps a clock that reads exactly k/60 s from owing 4.999... steps.
    constexpr double kRoundingNudge = 1e-9;
    const auto owedSoFar = static_cast<std::int64_t>(
        std::floor((seconds - startSeconds_) * rules::kStepsPerSecond + kRoundingNudge));
    // As in local play, a stall's backlog is dropped rather than raced through.
    const auto owed =
        static_cast<int>(std::min<std::int64_t>(owedSoFar - stepsAccounted_, Main::MAX_STEPS));
    stepsAccounted_ = std::max(stepsAccounted_ + owed, owedSoFar - Main::MAX_STEPS);
    for (int player = 0; player < kSeats; ++player)
        if (const auto seat = seats_.seatOf(player))
            session_->setLocalInput(*seat, local_.take(player));
    session_->advanceFrame(std::max(owed, 0), seconds * 1000);
    main.playFrame({}, 0); // draws
}

} // namespace zindle::net
