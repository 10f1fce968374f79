// A MacGuffin spilled by a falling hero: tossed up, falls back under gravity, and flickers
// out, shown on a share of frames equal to the life it has left.
#include "effects/particles.h"

#include "base/rules.h"
#include "effects/pixel.h"
#include "framework/random.h"
#include "render/drawing_options.h"
#include "render/tiler.h"

namespace zindle {

namespace {
constexpr double kMinLife = 0.5;         // s
constexpr double kLifeSpread = 0.5;      // s, added at random
constexpr double kSteadyLifeShare = 0.5; // with reduced motion: shown for this share of its life
} // namespace

MacGuffinDropParticle::MacGuffinDropParticle(double x, double y, double dx, double dy)
    : TrailParticle(floorToPixel(x), floorToPixel(y), kMinLife + kLifeSpread * random()), dy(dy),
      dx(dx) {}

bool MacGuffinDropParticle::update(double dt, ParticleLists lists) {
    const double s = rules::kStepsPerSecond * dt;
    x += dx * s;
    y += dy * s;
    dy += rules::kGravityPerStep * s;
    return TrailParticle::update(dt, lists);
}

void MacGuffinDropParticle::draw(Tiler& tiler) const {
    const bool lit = random() > lifeAlpha();
    // Gentler: steady for the first half of its life, then gone.
    if (DrawingOptions::reducedMotion ? lifeAlpha() < kSteadyLifeShare : lit)
        tiler.drawTile("MACGUFFIN", x, y);
}

} // namespace zindle
