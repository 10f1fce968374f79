// The tools' JSON: numbers must read back exactly, text must stay valid JSON.
#include "json.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>

using namespace zindle::sim;

TEST(SimJsonTest, NumbersRoundTripExactlyAndNonFiniteBecomesNull) {
    for (double value : {1.0 / 300, 0.1 + 0.2, -2.6, 1e-300, 320.0, 0.0}) {
        std::string text;
        appendNumber(text, value);
        EXPECT_EQ(std::strtod(text.c_str(), nullptr), value) << text;
    }
    std::string text;
    appendNumber(text, 320);
    EXPECT_EQ(text, "320");
    text.clear();
    appendNumber(text, std::numeric_limits<double>::quiet_NaN());
    appendNumber(text, std::numeric_limits<double>::infinity());
    EXPECT_EQ(text, "nullnull");
}

TEST(SimJsonTest, ObjectsKeepKeyOrderAndEscapeText) {
    auto text = JsonObject()
                    .integer("steps", 5)
                    .boolean("closed", false)
                    .string("file", "a\"b\\c\n\x01")
                    .raw("list", "[1,2]")
                    .str();
    EXPECT_EQ(text, R"({"steps":5,"closed":false,"file":"a\"b\\c\n\u0001","list":[1,2]})");
    EXPECT_EQ(JsonObject().str(), "{}");
    // A seed past 2^63 stays positive.
    EXPECT_EQ(JsonObject().unsignedInteger("seed", 0x8000000000000001ull).str(),
              R"({"seed":9223372036854775809})");
}
