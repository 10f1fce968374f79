// Decimal numbers in options and input files: the grammar std::from_chars accepted, on every build.
#include "decimal.h"

#include <gtest/gtest.h>

namespace zindle::sim {
namespace {

TEST(DecimalTest, ReadsPlainAndExponentForms) {
    const struct {
        const char* text;
        double value;
    } good[] = {{"0", 0},
                {"1.5", 1.5},
                {"-2", -2},
                {".5", 0.5},
                {"7.", 7},
                {"2e-3", 2e-3},
                {"1E+2", 100},
                {"0.1", 0.1},
                {"0.999999", 0.999999},
                {"0.61803398874989479", 0.61803398874989479}};
    for (const auto& c : good) {
        double value = -1;
        EXPECT_TRUE(parseDecimal(c.text, value)) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
    }
}

TEST(DecimalTest, RefusesAnythingElseAndLeavesTheValue) {
    for (const char* bad : {"", "-", ".", "+1", " 1", "1 ", "1e", "1e+", "0x10", "inf", "nan",
                            "1e400", "1,5", "1.5.2", "--1", "e5"}) {
        double value = 42;
        EXPECT_FALSE(parseDecimal(bad, value)) << bad;
        EXPECT_EQ(value, 42) << bad;
    }
}

} // namespace
} // namespace zindle::sim
