// Rain shaken from a cloud by a hero's bounce: a short streak that falls under light gravity.
#include "effects/particles.h"

#include "base/rules.h"
#include "effects/pixel.h"
#include "framework/random.h"
#include "render/tiler.h"

namespace zindle {

namespace {
constexpr double kMinLife = 0.25;   // s
constexpr double kLifeSpread = 0.5; // s, added at random
constexpr double kGravity = 0.006;  // px per nominal step, added to dy each nominal step
// The streak: tiles this many velocities behind the drop, drawn tail first.
constexpr double kDarkFar = 9.0;
constexpr double kDarkNear = 6.0;
constexpr double kLight = 3.0;
} // namespace

RainParticle::RainParticle(double x, double y, double dx, double dy)
    : TrailParticle(floorToPixel(x), floorToPixel(y), kMinLife + kLifeSpread * random()), dy(dy),
      dx(dx) {}

bool RainParticle::update(double dt, ParticleLists lists) {
    const double s = rules::kStepsPerSecond * dt;
    dy += kGravity * s;
    y += dy * s;
    x += dx * s;
    return TrailParticle::update(dt, lists);
}

void RainParticle::draw(Tiler& tiler) const {
    tiler.drawTile("RAIN_DARK", x - kDarkFar * dx, y - kDarkFar * dy);
    tiler.drawTile("RAIN_DARK", x - kDarkNear * dx, y - kDarkNear * dy);
    tiler.drawTile("RAIN_LIGHT", x - kLight * dx, y - kLight * dy);
    tiler.drawTile("RAIN_LIGHT", x, y);
}

} // namespace zindle
