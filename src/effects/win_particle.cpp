// The win fountain: an invisible spark thrown out of the MacGuffin that lays rainbow ribbons
// across its path and sheds sparkles. It runs on its own clock, ten times faster than the
// game's, so the fountain bursts out even while the world is in slow motion.
#include "effects/particles.h"

#include "base/rules.h"
#include "effects/pixel.h"
#include "framework/random.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace zindle {

namespace {
constexpr double kMinLife = 1.5;           // s of the particle's own clock
constexpr double kLifeSpread = 0.5;        // s, added at random
constexpr double kClockRate = 10.0;        // the particle's clock against game time
constexpr double kRibbonInterval = 0.0025; // s of own clock between ribbon slices
constexpr double kMaxBandAge = 0.5;       // s, the most a band's life grows with the particle's age
constexpr double kSparkleInterval = 0.05; // s of own clock between sparkles
} // namespace

WinParticle::WinParticle(double x, double y, double dx, double dy)
    : TrailParticle(floorToPixel(x), floorToPixel(y), kMinLife + kLifeSpread * random()), dy(dy),
      dx(dx) {}

bool WinParticle::update(double dt, ParticleLists lists) {
    const double t = kClockRate * dt;
    const double u = rules::kStepsPerSecond * t;
    x += dx * u;
    y += dy * u;
    dy += rules::kGravityPerStep * u;

    rainbowCooldown -= t;
    if (rainbowCooldown <= 0) {
        rainbowCooldown = kRibbonInterval;
        // The side is picked by the direction of travel so that pink ends up on top whether
        // the spark flies left or right.
        const double side = dx > 0 ? -1 : 1;
        layRainbowRibbon(lists.trails, x, y, dx, dy, side,
                         std::min(initialLife - life, kMaxBandAge));
    }

    if (sparkleCooldown > 0)
        sparkleCooldown -= t;
    if (sparkleCooldown <= 0) {
        lists.sparkles.push_back(std::make_unique<SimpleSparkle>(x, y, dx, dy));
        sparkleCooldown = kSparkleInterval;
    }

    return TrailParticle::update(t, lists);
}

} // namespace zindle
