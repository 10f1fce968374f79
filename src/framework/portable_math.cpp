// The angle is brought into about [-pi/4, pi/4] by subtracting a multiple of pi/2 held in three
// parts, so that the reduced angle keeps its precision even next to a multiple of pi/2; sine and
// cosine of the reduced angle are Taylor polynomials, whose truncation error there lies far below
// the last bit. Every operation is a correctly rounded IEEE one in a fixed order (the build
// forbids fusing them into multiply-adds), so every build computes the same bits.
#include "framework/portable_math.h"

#include <cmath>

namespace zindle {

namespace {

constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;
// pi/2 = kHalfPi1 + kHalfPi2 + kHalfPi3 to about 1e-37. The first two have 33 significant bits,
// so their products with a quadrant number below 2^20 are exact.
constexpr double kHalfPi1 = 0x1.921fb54400000p+0;
constexpr double kHalfPi2 = 0x1.0b4611a600000p-34;
constexpr double kHalfPi3 = 0x1.3198a2e037073p-69;
// 2^27 + 1: splits a double into two halves whose products are exact.
constexpr double kSplitter = 134217729.0;

// sin r = r + r z S(z) and cos r = 1 - z/2 + z^2 C(z), with z = r^2; the coefficients are
// +-1/n! (every n! up to 20! is exact as a double), highest power first for Horner's scheme.
constexpr double kSinTerms[] = {-1.0 / 121645100408832000.0,
                                1.0 / 355687428096000.0,
                                -1.0 / 1307674368000.0,
                                1.0 / 6227020800.0,
                                -1.0 / 39916800.0,
                                1.0 / 362880.0,
                                -1.0 / 5040.0,
                                1.0 / 120.0,
                                -1.0 / 6.0};
constexpr double kCosTerms[] = {1.0 / 2432902008176640000.0,
                                -1.0 / 6402373705728000.0,
                                1.0 / 20922789888000.0,
                                -1.0 / 87178291200.0,
                                1.0 / 479001600.0,
                                -1.0 / 3628800.0,
                                1.0 / 40320.0,
                                -1.0 / 720.0,
                                1.0 / 24.0};

template <std::size_t N> double horner(const double (&terms)[N], double z) {
    double sum = terms[0];
    for (std::size_t i = 1; i < N; ++i)
        sum = sum * z + terms[i];
    return sum;
}

// The reduced angle as an unevaluated sum hi + lo, and the quadrant (angle - reduced) / (pi/2)
// modulo 4.
struct Reduced {
    double hi;
    double lo;
    int quadrant;
};

Reduced reduce(double angle) {
    const double n = std::floor(angle * kTwoOverPi + 0.5);
    // Exact: n * kHalfPi1 is exact and lies within a factor of two of the angle (or n is 0).
    const double t = angle - n * kHalfPi1;
    const double w = n * kHalfPi2;
    // t - w as a sum and its exact rounding error (Knuth's two-sum).
    const double hi = t - w;
    const double back = hi - t;
    const double lo = ((t - (hi - back)) + (-w - back)) - n * kHalfPi3;
    const double r = hi + lo;
    const double q = n - 4 * std::floor(n * 0.25);
    return {r, lo - (r - hi), static_cast<int>(q)};
}

double sinKernel(double hi, double lo) {
    const double z = hi * hi;
    return hi + (hi * z * horner(kSinTerms, z) + lo * (1 - 0.5 * z));
}

double cosKernel(double hi, double lo) {
    // z exactly as z + zLow (Dekker's product), so that 1 - z/2 loses nothing to z's rounding.
    const double z = hi * hi;
    const double c = kSplitter * hi;
    const double h1 = c - (c - hi);
    const double h2 = hi - h1;
    const double zLow = ((h1 * h1 - z) + 2 * h1 * h2) + h2 * h2;
    const double half = 0.5 * z;
    const double w = 1 - half;
    // (1 - w) - half is the exact rounding error of w.
    const double tail = ((1 - w) - half) - 0.5 * zLow + (z * z * horner(kCosTerms, z) - hi * lo);
    return w + tail;
}

} // namespace

double portableSin(double angle) {
    if (!std::isfinite(angle))
        return angle - angle;
    if (angle == 0)
        return angle; // keeps the sign of zero
    const Reduced r = reduce(angle);
    switch (r.quadrant) {
    case 0:
        return sinKernel(r.hi, r.lo);
    case 1:
        return cosKernel(r.hi, r.lo);
    case 2:
        return -sinKernel(r.hi, r.lo);
    default:
        return -cosKernel(r.hi, r.lo);
    }
}

double portableCos(double angle) {
    if (!std::isfinite(angle))
        return angle - angle;
    const Reduced r = reduce(angle);
    switch (r.quadrant) {
    case 0:
        return cosKernel(r.hi, r.lo);
    case 1:
        return -sinKernel(r.hi, r.lo);
    case 2:
        return -cosKernel(r.hi, r.lo);
    default:
        return sinKernel(r.hi, r.lo);
    }
}

} // namespace zindle
