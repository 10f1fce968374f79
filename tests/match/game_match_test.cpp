// A whole match between four computer players on the headless layer, from the title until one
// of them wins, checking the rules hold on every step.
#include "support/game_fixture.h"

#include "base/rules.h"
#include "effects/particles.h"
#include "framework/random.h"
#include "input/input.h"

#include <set>

namespace zindle::test {
namespace {

using GameMatchTest = GameFixture;

// A match is a race of chances: with four computer players most seeds take minutes to produce
// a winner and some more than ten, so this test plays one seed chosen for an early win. Seed 4,
// in this fixture's setup (which draws its numbers in another order than zindle-sim's), has
// its first winner leave after 8402 steps, 28 s of play; the bound allows twice that. If a
// change to play moves the win past the bound, that says nothing about the rules: pick another
// seed that wins early here and put its figures in this comment.
constexpr std::uint64_t kSeed = 4;
constexpr int kStepsPerSecond = static_cast<int>(rules::kStepsPerSecond);
constexpr int kMaxSteps = kStepsPerSecond * 60; // one minute of play

// The rules every step must keep; returns the first one broken, or "".
std::string brokenRule(const Game& game) {
    std::set<int> players;
    int crowns = 0;
    const Hero* holder = nullptr;
    for (const auto& hero : game.heroes) {
        if (!players.insert(hero->player).second) {
            return "two heroes for one player";
        }
        if (hero->score < 0 || hero->score > rules::kOneCatchFromWinning) {
            return "score out of range";
        }
        if (hero->lives < 0 || hero->lives > 2) {
            return "lives out of range";
        }
        if (hero->highScore < hero->score) {
            return "high score below score";
        }
        if (hero->crowniness < 0 || hero->crowniness > 1) {
            return "crowniness out of range";
        }
        if (hero->hasCrown) {
            ++crowns;
            holder = hero.get();
        }
    }
    if (crowns > 1) {
        return "two crowns";
    }
    for (const auto& hero : game.heroes) {
        if (holder != nullptr && hero->score > holder->score) {
            return "the crown holder does not lead";
        }
    }
    return "";
}

TEST_F(GameMatchTest, FourComputerPlayersPlayUntilOneWins) {
    seedRandom(kSeed);
    game = std::make_unique<Game>(); // the cloud field from the seed too
    step();
    for (int key = Input::P1AI; key <= Input::P4AI; ++key) {
        game->onInput(0, key, Input::DOWN, true);
    }

    int steps = 0;
    int catches = 0;
    int spills = 0;
    std::vector<int> lastScore(rules::kPlayers, 0);
    int winner = -1;
    while (winner < 0 && steps < kMaxSteps) {
        std::vector<std::shared_ptr<Hero>> before = game->heroes;
        step();
        ++steps;
        ASSERT_EQ(brokenRule(*game), "") << "step " << steps;
        for (const auto& hero : before) {
            const bool stayed =
                std::find(game->heroes.begin(), game->heroes.end(), hero) != game->heroes.end();
            if (!stayed && game->slomo > 0) {
                winner = hero->player;
            }
        }
        for (const auto& hero : game->heroes) {
            int& last = lastScore[static_cast<std::size_t>(hero->player)];
            catches += hero->score > last ? 1 : 0;
            spills += hero->score < last ? 1 : 0;
            last = hero->score;
        }
        if (steps == kStepsPerSecond) {
            EXPECT_EQ(game->titleAlpha, 0);
            EXPECT_EQ(game->heroes.size(), 4u);
        }
    }
    ASSERT_GE(winner, 0) << "seed " << kSeed << " no longer wins within " << kMaxSteps
                         << " steps; it was chosen for a win after 8402 (see kSeed)";
    // Six catches in a row by the winner at least, and some spilled on the way.
    EXPECT_GE(catches, 6);
    EXPECT_GT(spills, 0);
    // The game's own count agrees: one win, whose catch is among the catches.
    EXPECT_EQ(game->tally.wins, 1);
    EXPECT_GE(game->tally.catches, catches + 1);
    EXPECT_GT(game->tally.falls, 0);

    // The winner left in a burst: slow motion, its picture rising from the MacGuffin.
    EXPECT_EQ(game->slomo > 0.99, true);
    bool ascending = false;
    for (const auto& p : game->sparkles) {
        if (auto* a = dynamic_cast<AscendParticle*>(p.get())) {
            ascending = ascending || a->frame.starts_with("PLAYER_" + std::to_string(winner + 1));
        }
    }
    EXPECT_TRUE(ascending);
    EXPECT_EQ(game->heroes.size(), 3u);

    // Its computer player rejoins on the next step, with nothing kept from before.
    step();
    ASSERT_EQ(game->heroes.size(), 4u);
    EXPECT_EQ(game->heroes.back()->player, winner);
    EXPECT_EQ(game->heroes.back()->score, 0);

    // ESC ends the match; the title closes over two seconds of game time, once the slow
    // motion has worn off.
    game->onInput(0, Input::ESC, Input::DOWN, false);
    step(kStepsPerSecond * 5);
    EXPECT_TRUE(game->heroes.empty());
    EXPECT_EQ(game->titleAlpha, 1);
}

} // namespace
} // namespace zindle::test
