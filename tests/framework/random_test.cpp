// The random source's seed: known, so that a run's numbers can be drawn again.
#include "framework/random.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace zindle {
namespace {

std::vector<double> draws(int n) {
    std::vector<double> out;
    for (int i = 0; i < n; ++i)
        out.push_back(random());
    return out;
}

TEST(RandomTest, TheSeedInUseReplaysTheSameNumbers) {
    // Whatever seed the process started from (the system's, or a test's), it is the one in use.
    const std::uint64_t started = randomSeed();
    seedRandom(started);
    const auto first = draws(5);
    seedRandom(started);
    EXPECT_EQ(draws(5), first);

    for (const std::uint64_t seed : {std::uint64_t{0}, std::uint64_t{18}, UINT64_MAX}) {
        seedRandom(seed);
        EXPECT_EQ(randomSeed(), seed);
        const auto numbers = draws(3);
        for (double r : numbers) {
            EXPECT_GE(r, 0.0);
            EXPECT_LT(r, 1.0);
        }
        seedRandom(seed);
        EXPECT_EQ(draws(3), numbers) << seed;
    }
    seedRandom(1);
    const double one = random();
    seedRandom(2);
    EXPECT_NE(random(), one);
}

TEST(RandomTest, AScriptDoesNotChangeTheSeed) {
    seedRandom(99);
    setRandomSource([] { return 0.25; });
    EXPECT_EQ(random(), 0.25);
    EXPECT_EQ(randomSeed(), 99u);
    setRandomSource({});
}

TEST(RandomTest, ASavedStateDrawsTheSameNumbersAgainAndKeepsItsCount) {
    seedRandom(7);
    draws(5);
    const RandomState saved = randomState();
    const auto numbers = draws(4);
    seedRandom(8); // another seed and count entirely
    draws(2);
    restoreRandomState(saved);
    EXPECT_EQ(randomSeed(), 7u);
    EXPECT_EQ(randomDrawCount(), 5u);
    EXPECT_EQ(draws(4), numbers);
    // A script stays in charge across a restore; the count goes on from the restored one.
    setRandomSource([] { return 0.5; });
    restoreRandomState(saved);
    EXPECT_EQ(random(), 0.5);
    EXPECT_EQ(randomDrawCount(), 6u);
    setRandomSource({});
}

// Drawing inside a scope takes from the drawing stream when one is set, and then leaves the
// match's stream exactly where it was; without one (local play) nothing changes.
TEST(RandomTest, DrawingStreamKeepsDrawingOutOfTheMatch) {
    struct Case {
        const char* what;
        std::optional<std::uint64_t> drawingSeed;
        bool matchStreamMoves;
    };
    const Case cases[] = {{"local play", std::nullopt, true}, {"online", 77, false}};
    for (const Case& c : cases) {
        seedRandom(5);
        const std::vector<double> expected = draws(3);
        seedRandom(5);
        setDrawingStream(c.drawingSeed);
        std::vector<double> drawn;
        {
            const DrawingRandom scope;
            drawn = draws(2);
        }
        const std::vector<double> after = draws(1);
        setDrawingStream(std::nullopt);
        EXPECT_EQ(randomDrawCount(), c.matchStreamMoves ? 3u : 1u) << c.what;
        EXPECT_EQ(after[0], expected[c.matchStreamMoves ? 2 : 0]) << c.what;
        if (c.drawingSeed) {
            setDrawingStream(c.drawingSeed); // the same seed draws the same again
            const DrawingRandom scope;
            EXPECT_EQ(draws(2), drawn) << c.what;
            setDrawingStream(std::nullopt);
        }
    }
}

} // namespace
} // namespace zindle
