// Sine and cosine of our own: within one unit in the last place of the correctly rounded result
// (held against long double) over the angles the game uses, and the same bits as recorded, which
// the WebAssembly and Clang builds reproduce.
#include "framework/portable_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <random>
#include <vector>

namespace zindle::test {
namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

// Distance in representable doubles between two finite doubles of the same sign.
std::int64_t ulpsApart(double a, double b) {
    if (a == b)
        return 0;
    if (std::signbit(a) != std::signbit(b))
        return INT64_MAX;
    std::int64_t ia = 0;
    std::int64_t ib = 0;
    std::memcpy(&ia, &a, sizeof a);
    std::memcpy(&ib, &b, sizeof b);
    return ia > ib ? ia - ib : ib - ia;
}

// The angles play computes: evenly spread fractions of a turn (the win burst, the crown ring),
// uniform draws times a turn (rain, sparkles) written both ways the code writes them, and the
// neighbours of every multiple of pi/2, where reduction loses the most; then a wider band.
std::vector<double> gameAngles() {
    std::vector<double> angles;
    for (int n : {4, 10, 16, 100000}) {
        for (int i = 0; i <= n; ++i) {
            angles.push_back(static_cast<double>(i) / n * kTwoPi);
            angles.push_back(kTwoPi / n * i);
        }
    }
    std::mt19937_64 generator(18);
    for (int i = 0; i < 200000; ++i) {
        const double r = static_cast<double>(generator() >> 11) * 0x1p-53;
        angles.push_back(r * kTwoPi);
        angles.push_back(kTwoPi * r);
        angles.push_back((r * 6 - 2) * std::numbers::pi);
    }
    for (int k = -4; k <= 8; ++k) {
        const double m = k * (std::numbers::pi / 2);
        angles.insert(angles.end(), {m, std::nextafter(m, -10.0), std::nextafter(m, 10.0)});
    }
    return angles;
}

TEST(PortableMathTest, WithinOneUlpOfTheCorrectlyRoundedResult) {
    for (const double angle : gameAngles()) {
        const auto wide = static_cast<long double>(angle);
        const double sine = static_cast<double>(std::sin(wide));
        const double cosine = static_cast<double>(std::cos(wide));
        ASSERT_LE(ulpsApart(portableSin(angle), sine), 1)
            << std::hexfloat << "sin " << angle << ": " << portableSin(angle) << " for " << sine;
        ASSERT_LE(ulpsApart(portableCos(angle), cosine), 1)
            << std::hexfloat << "cos " << angle << ": " << portableCos(angle) << " for " << cosine;
    }
}

// Bits every build must give. 3.0681914993000630 and 5.4672949459123230 are angles where glibc
// and Emscripten's C library disagree in the last bit.
TEST(PortableMathTest, GivesTheRecordedBits) {
    struct Case {
        double angle;
        double sine;
        double cosine;
    };
    const Case cases[] = {
        {0x1.999999999999ap-4, 0x1.98eaecb8bcb2cp-4, 0x1.fd712f9a817c1p-1},
        {0x1p+0, 0x1.aed548f090ceep-1, 0x1.14a280fb5068cp-1},
        {0x1.e28c731eb695p+0, 0x1.e6f0e134455p-1, -0x1.3c6ef372fe94ep-2},
        {0x1.921fb54442d18p+1, 0x1.1a62633145c07p-53, -0x1p+0},
        {0x1.921fb54442d18p+2, -0x1.1a62633145c07p-52, 0x1p+0},
        {0x1.88ba7fc1adf3p+1, 0x1.2c61984233a96p-4, -0x1.fe9f1179bc3c2p-1},
        {0x1.5de8290f91e39p+2, -0x1.74e8742364fbap-1, 0x1.5ed52e0910fp-1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(portableSin(c.angle), c.sine) << std::hexfloat << c.angle;
        EXPECT_EQ(portableCos(c.angle), c.cosine) << std::hexfloat << c.angle;
    }
}

TEST(PortableMathTest, ZeroKeepsItsSignAndNonFiniteAnglesGiveNaN) {
    EXPECT_TRUE(std::signbit(portableSin(-0.0)));
    EXPECT_EQ(portableSin(0.0), 0.0);
    EXPECT_EQ(portableCos(-0.0), 1.0);
    for (const double bad : {INFINITY, -INFINITY, NAN}) {
        EXPECT_TRUE(std::isnan(portableSin(bad)));
        EXPECT_TRUE(std::isnan(portableCos(bad)));
    }
}

} // namespace
} // namespace zindle::test
