// A sparkle shed by the win fountain: coasts along the fountain's velocity, slowing to rest
// as it plays the seven sparkle frames once.
#include "effects/particles.h"

#include "base/rules.h"
#include "effects/pixel.h"
#include "effects/tile_names.h"
#include "framework/random.h"
#include "render/tiler.h"

namespace zindle {

namespace {
constexpr double kMinLife = 0.125;   // s
constexpr double kLifeSpread = 0.25; // s, added at random
} // namespace

SimpleSparkle::SimpleSparkle(double x, double y, double dx, double dy)
    : TrailParticle(floorToPixel(x), floorToPixel(y), kMinLife + kLifeSpread * random()), dx(dx),
      dy(dy) {}

bool SimpleSparkle::update(double dt, ParticleLists lists) {
    const double k = 1 - lifeAlpha(); // slows down linearly to rest at the end of its life
    const double s = rules::kStepsPerSecond * dt;
    x += dx * k * s;
    y += dy * k * s;
    return TrailParticle::update(dt, lists);
}

void SimpleSparkle::draw(Tiler& tiler) const {
    const std::string_view tile = tiles::sparkleAtAge(lifeAlpha());
    if (!tile.empty())
        tiler.drawTile(tile, x, y);
}

} // namespace zindle
