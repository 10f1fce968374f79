#pragma once
#include "net/rollback_world.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace zindle::net {

// What the online match needs of the game it plays.
class OnlineGame {
public:
    virtual ~OnlineGame() = default;
    // A rollback world over the game as it stands now.
    virtual std::unique_ptr<RollbackWorld> newWorld() = 0;
    // The seats' heroes vanish without effects and their computer flags go off.
    virtual void takeOutSeats(std::uint8_t seatMask) = 0;
    // The whole match as bytes, and such bytes (from anybody) back into the game: false, with
    // the game as it was, for bytes that are not a match.
    virtual std::vector<std::uint8_t> captureState() = 0;
    virtual bool restoreState(std::span<const std::uint8_t> bytes) = 0;
    // Why the last restoreState refused its bytes, for the log.
    virtual std::string refusal() const { return "not a match state"; }
};

} // namespace zindle::net
