// The running game as an online match sees it: seats taken out leave the others' heroes alone,
// and a match state travels as bytes into another game while bytes that are not one change
// nothing.
#include "actors/hero.h"
#include "match/game.h"
#include "match/state_checksum.h"
#include "net/running_game.h"
#include "simulation.h"

#include <gtest/gtest.h>

namespace zindle::net {
namespace {

sim::RunConfig fourComputers() {
    sim::RunConfig config;
    config.aiPlayers = {1, 2, 3, 4};
    return config;
}

std::vector<int> playersOf(const Game& game) {
    std::vector<int> players;
    for (const auto& hero : game.heroes)
        players.push_back(hero->player);
    std::sort(players.begin(), players.end());
    return players;
}

TEST(OnlineGameTest, TakingSeatsOutLeavesTheOthersPlaying) {
    sim::Simulation simulation(fourComputers());
    for (int i = 0; i < 120; ++i)
        simulation.runFrame();
    Game& game = simulation.game();
    ASSERT_EQ(playersOf(game), (std::vector<int>{0, 1, 2, 3}));
    RunningGame running(1, [&simulation] { return &simulation.game(); });
    const struct {
        std::uint8_t mask;
        std::vector<int> left;
    } cases[] = {{0, {0, 1, 2, 3}}, {0b0010, {0, 2, 3}}, {0b1001, {2}}, {0xF0, {2}}, {0x0F, {}}};
    for (const auto& c : cases) {
        running.takeOutSeats(c.mask);
        EXPECT_EQ(playersOf(game), c.left) << int(c.mask);
        for (int p = 0; p < 4; ++p)
            EXPECT_EQ(game.aiFlags[static_cast<std::size_t>(p)],
                      std::find(c.left.begin(), c.left.end(), p) != c.left.end())
                << "mask " << int(c.mask) << " player " << p;
    }
    EXPECT_EQ(game.gameTimeout, 1); // nobody left: the title comes back
    simulation.runFrame();          // and the game steps on without them
}

TEST(OnlineGameTest, StateBytesCarryTheMatchAndGarbageChangesNothing) {
    std::vector<std::uint8_t> bytes;
    std::uint64_t sum = 0;
    {
        sim::Simulation simulation(fourComputers());
        for (int i = 0; i < 300; ++i)
            simulation.runFrame();
        RunningGame running(1, [&simulation] { return &simulation.game(); });
        bytes = running.captureState();
        sum = stateChecksum(simulation.game());
    }
    sim::Simulation other(sim::RunConfig{});
    RunningGame running(2, [&other] { return &other.game(); });
    const std::uint64_t before = stateChecksum(other.game());
    std::vector<std::uint8_t> truncated(bytes.begin(), bytes.begin() + bytes.size() / 2);
    for (const auto& bad :
         {std::vector<std::uint8_t>{}, truncated, std::vector<std::uint8_t>(bytes.size(), 0xAB)}) {
        EXPECT_FALSE(running.restoreState(bad)) << bad.size();
        EXPECT_EQ(stateChecksum(other.game()), before);
        // The log gets the codec's reason, not a bare refusal.
        EXPECT_EQ(running.refusal().rfind("match state: ", 0), 0u) << running.refusal();
    }
    ASSERT_TRUE(running.restoreState(bytes));
    EXPECT_EQ(stateChecksum(other.game()), sum);
    EXPECT_EQ(playersOf(other.game()).size(), 4u);
}

} // namespace
} // namespace zindle::net
