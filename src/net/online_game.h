#pragma once
// The running game as an online match sees it: a rollback world over Main's board, and seats
// taken out the way a peer's leaving needs (heroes gone without effects, computer flags off).
#include "net/online_match.h"

namespace zindle::net {

class RunningGame : public OnlineGame {
public:
    // drawingSeed: the drawing stream every world of this match uses, so that how often a peer
    // draws never changes the match.
    explicit RunningGame(std::uint64_t drawingSeed) : drawingSeed_(drawingSeed) {}
    std::unique_ptr<RollbackWorld> newWorld() override;
    void takeOutSeats(std::uint8_t seatMask) override;
    std::vector<std::uint8_t> captureState() override;
    bool restoreState(std::span<const std::uint8_t> bytes) override;

private:
    std::uint64_t drawingSeed_;
};

} // namespace zindle::net
