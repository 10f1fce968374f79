#pragma once
// The running game as an online match sees it: a rollback world over Main's board, and seats
// taken out the way a peer's leaving needs (heroes gone without effects, computer flags off).
#include "net/online_game.h"

#include <functional>
#include <string>

namespace zindle {
class Game;
}

namespace zindle::net {

class RunningGame : public OnlineGame {
public:
    // drawingSeed: the drawing stream every world of this match uses, so that how often a peer
    // draws never changes the match. game finds the game being played (by default Main's
    // board), which need not exist yet when the match is set up.
    explicit RunningGame(std::uint64_t drawingSeed, std::function<Game*()> game = {});
    std::unique_ptr<RollbackWorld> newWorld() override;
    void takeOutSeats(std::uint8_t seatMask) override;
    std::vector<std::uint8_t> captureState() override;
    bool restoreState(std::span<const std::uint8_t> bytes) override;
    std::string refusal() const override { return refusal_; }

private:
    Game& game() const;

    std::string refusal_;

    std::uint64_t drawingSeed_;
    std::function<Game*()> game_;
};

} // namespace zindle::net
