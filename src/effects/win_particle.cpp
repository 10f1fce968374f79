// The win fountain: an invisible spark thrown out of the MacGuffin that lays rainbow ribbons
// across its path and sheds sparkles. It runs on its own clock, ten times faster than the
// game's, so the fountain bursts out even while the world is in slow motion.
#include "effects/particles.h"

#include "effects/pixel.h"
#include "framework/random.h"
#include "match/game.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace zindle {

namespace {
constexpr double kMinLife = 1.5;    // s of the particle's own clock
constexpr double kLifeSpread = 0.5; // s, added at random
constexpr double kClockRate = 10.0; // the particle's clock against game time
constexpr double kStepsPerSecond = 300.0;
constexpr double kGravity = 0.012;         // px per nominal step, added to dy each nominal step
constexpr double kRibbonInterval = 0.0025; // s of own clock between ribbon slices
constexpr double kBandSpacing = 3.0;       // px between neighbouring bands
constexpr int kOuterBand = 2;              // bands -2..2: blue, green, yellow, orange, pink
constexpr double kMaxBandAge = 0.5;       // s, the most a band's life grows with the particle's age
constexpr double kSparkleInterval = 0.05; // s of own clock between sparkles
} // namespace

WinParticle::WinParticle(double x, double y, double dx, double dy)
    : TrailParticle(floorToPixel(x), floorToPixel(y), kMinLife + kLifeSpread * random()), dy(dy),
      dx(dx) {}

bool WinParticle::update(double dt, Game& game) {
    const double t = kClockRate * dt;
    const double u = kStepsPerSecond * t;
    x += dx * u;
    y += dy * u;
    dy += kGravity * u;

    rainbowCooldown -= t;
    if (rainbowCooldown <= 0) {
        rainbowCooldown = kRibbonInterval;
        if (dx != 0 || dy != 0) {
            // A slice of ribbon across the path. The side is picked by the direction of travel
            // so that pink ends up on top whether the spark flies left or right.
            const double side = dx > 0 ? -1 : 1;
            const double len = std::sqrt(dx * dx + dy * dy);
            const double a = side * kBandSpacing * dy / len;
            const double b = -side * kBandSpacing * dx / len;
            const double lifeBase = std::min(initialLife - life, kMaxBandAge);
            // game.trails may reallocate as it grows; this particle is reached through its own
            // pointer only, so nothing here refers into the array across an append.
            for (int i = -kOuterBand; i <= kOuterBand; ++i)
                game.trails.push_back(std::make_unique<RainbowParticle>(
                    i, floorToPixel(x - i * a), floorToPixel(y - i * b), lifeBase));
        }
    }

    if (sparkleCooldown > 0)
        sparkleCooldown -= t;
    if (sparkleCooldown <= 0) {
        game.sparkles.push_back(std::make_unique<SimpleSparkle>(x, y, dx, dy));
        sparkleCooldown = kSparkleInterval;
    }

    return TrailParticle::update(t, game);
}

} // namespace zindle
