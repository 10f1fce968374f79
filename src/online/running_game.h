#pragma once
// The running game as an online match sees it: a rollback world over Main's board, and seats
// taken out the way a peer's leaving needs (heroes gone without effects, computer flags off).
#include "online/online_game.h"

#include <functional>
#include <string>

namespace zindle {
class Game;
class Main;
} // namespace zindle

namespace zindle::net {

class RunningGame : public OnlineGame {
public:
    // drawingSeed: the drawing stream every world of this match uses, so that how often a peer
    // draws never changes the match. loop finds the frame loop that steps the game, and game
    // the game being played (by default the loop's); neither need exist yet when the match is
    // set up.
    RunningGame(std::uint64_t drawingSeed, std::function<Main*()> loop,
                std::function<Game*()> game = {});
    std::unique_ptr<RollbackWorld> newWorld() override;
    void takeOutSeats(std::uint8_t seatMask) override;
    std::vector<std::uint8_t> captureState() override;
    bool restoreState(std::span<const std::uint8_t> bytes) override;
    std::string refusal() const override { return refusal_; }

private:
    Game& game() const;
    Main& loop() const;

    std::string refusal_;

    std::uint64_t drawingSeed_;
    std::function<Main*()> loop_;
    std::function<Game*()> game_;
};

} // namespace zindle::net
