// Seats taken out of the running game: the hero leaves the list at once, as ESC clears the
// whole list, so nothing of it is drawn, heard or scored afterwards.
#include "net/running_game.h"

#include "actors/hero.h"
#include "loop/main.h"
#include "match/game.h"
#include "match/match_snapshot.h"
#include "match/match_state_codec.h"
#include "net/rollback_game_world.h"

#include <stdexcept>

namespace zindle::net {

RunningGame::RunningGame(std::uint64_t drawingSeed, std::function<Game*()> game)
    : drawingSeed_(drawingSeed), game_(std::move(game)) {
    if (!game_)
        game_ = [] { return dynamic_cast<Game*>(Main::board.get()); };
}

Game& RunningGame::game() const {
    Game* game = game_();
    if (!game)
        throw std::logic_error("online play needs the game running");
    return *game;
}

std::unique_ptr<RollbackWorld> RunningGame::newWorld() {
    return std::make_unique<RollbackGameWorld>(game(), drawingSeed_);
}

void RunningGame::takeOutSeats(std::uint8_t seatMask) {
    Game& game = this->game();
    const auto out = [seatMask](int player) {
        return player >= 0 && player < 8 && (seatMask >> player) & 1u;
    };
    std::erase_if(game.heroes, [&](const auto& hero) { return out(hero->player); });
    for (std::size_t p = 0; p < game.aiFlags.size(); ++p)
        if (out(static_cast<int>(p)))
            game.aiFlags[p] = false;
    if (game.heroes.empty())
        game.gameTimeout = 1;
}

std::vector<std::uint8_t> RunningGame::captureState() {
    MatchSnapshot snapshot;
    snapshot.capture(game());
    std::vector<std::uint8_t> bytes;
    writeMatchState(snapshot.state(), bytes);
    return bytes;
}

bool RunningGame::restoreState(std::span<const std::uint8_t> bytes) {
    try {
        MatchSnapshot(readMatchState(bytes)).restore(game());
        return true;
    } catch (const MatchStateError& e) {
        refusal_ = e.what();
        return false;
    }
}

} // namespace zindle::net
