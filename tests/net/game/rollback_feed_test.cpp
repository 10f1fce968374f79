// The online feed in the real program: live keys (with their modifiers) travel as seat inputs
// through the session and reach the game after the input delay; withheld steps are not owed
// again.
#include "app/main.h"
#include "input_files.h"
#include "match/game.h"
#include "net/rollback_feed.h"
#include "simulation.h"

#include <gtest/gtest.h>

#include <sstream>

namespace zindle::net {
namespace {

struct NoPeers : PeerTransport {
    void send(int, std::vector<std::uint8_t>) override {}
};

// The keyboard's second player sits in seat 2 of the room: Q/W/E steer and join seat 2's hero,
// CTRL+2 hands seat 2 to the computer and back.
TEST(RollbackFeedTest, LiveKeysReachTheGameAsTheirSeat) {
    std::istringstream script("0.10 keydown 69\n" // E: player 2 joins
                              "0.20 keyup 69\n"
                              "1.00 keydown 50 ctrl\n" // CTRL+2
                              "1.05 keyup 50 ctrl\n");
    sim::RunConfig config;
    config.script = sim::parseScript(script, "script");
    sim::Simulation simulation(config);
    NoPeers transport;
    RollbackSession::Config room;
    room.seatOwners = {-1, -1, 0, -1};
    room.inputDelay = 2;
    SeatMap seats;
    seats.assign(1, 2);
    double clock = 0;
    int frames = 0;
    auto feed = std::make_unique<RollbackFeed>(simulation.game(), room, seats, transport, 7,
                                               [&clock] { return clock; });
    RollbackFeed& online = *feed;
    Main::feed = std::move(feed);

    Game& game = simulation.game();
    struct Check {
        double untilSeconds;
        bool seat2Hero, seat1Hero, seat2Computer;
    };
    const Check checks[] = {
        {0.05, false, false, false}, {0.50, true, false, false}, {1.50, true, false, true}};
    for (const Check& c : checks) {
        while (clock < c.untilSeconds) {
            clock = static_cast<double>(++frames) / 60;
            simulation.runFrame();
        }
        EXPECT_EQ(game.hasHero(2), c.seat2Hero) << c.untilSeconds;
        EXPECT_EQ(game.hasHero(1), c.seat1Hero) << c.untilSeconds;
        EXPECT_EQ(game.aiFlags[2], c.seat2Computer) << c.untilSeconds;
    }
    // The clock starts at the first frame and owed 89 frames of 5 steps since; all of them
    // ran (nobody to wait for).
    EXPECT_EQ(online.session().tick(), 89u);
    EXPECT_EQ(online.session().stepInTick(), 0);
}

} // namespace
} // namespace zindle::net
