// The game's own Mersenne Twister against the standard library's: the same numbers from the
// same seeds, across several refills of its block, so that matches play as they always have.
#include "framework/mersenne_twister.h"

#include <gtest/gtest.h>

#include <random>

namespace zindle {
namespace {

TEST(MersenneTwisterTest, GivesTheStandardEnginesNumbers) {
    for (const std::uint64_t seed : {0ull, 1ull, 5489ull, 20261207ull, ~0ull}) {
        MersenneTwister64 ours(seed);
        std::mt19937_64 standard(seed);
        for (int i = 0; i < 2000; ++i)
            ASSERT_EQ(ours(), standard()) << "seed " << seed << ", number " << i;
    }
    // The standard pins the 10000th number from the default seed.
    MersenneTwister64 fresh;
    for (int i = 1; i < 10000; ++i)
        fresh();
    EXPECT_EQ(fresh(), 9981545732273789042ull);
}

TEST(MersenneTwisterTest, ACopyGoesOnLikeTheOriginal) {
    MersenneTwister64 original(7);
    for (int i = 0; i < 400; ++i) // into the second block
        original();
    MersenneTwister64 copy = original;
    EXPECT_EQ(copy, original);
    for (int i = 0; i < 700; ++i)
        ASSERT_EQ(copy(), original());
}

} // namespace
} // namespace zindle
