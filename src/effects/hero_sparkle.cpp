// A sparkle around a scoring hero: starts somewhere in an ellipse around the hero and drifts
// towards it, ever more slowly, while it plays the seven sparkle frames once.
#include "effects/particles.h"

#include "effects/pixel.h"
#include "effects/tile_names.h"
#include "framework/portable_math.h"
#include "framework/random.h"
#include "render/tiler.h"

#include <cassert>
#include <numbers>
#include <utility>

namespace zindle {

namespace {
constexpr double kHalfHeight = 12.0; // px, of the ellipse the sparkle starts in
constexpr double kHalfWidth = 10.0;  // px
constexpr double kMinLife = 0.25;    // s
constexpr double kLifeSpread = 0.5;  // s, added at random
// Share of the way to the owner covered per update. It ignores dt on purpose: the sparkle
// keeps homing in while the world stands still in slow motion.
constexpr double kPull = 0.01;
} // namespace

HeroSparkle::HeroSparkle(std::shared_ptr<const Entity> owner)
    : TrailParticle(0, 0, 0), owner(std::move(owner)) {
    assert(this->owner);
    const double theta = 2 * std::numbers::pi * random();
    const double d = random();
    const double l = random();
    const double ox = this->owner ? this->owner->x : 0;
    const double oy = this->owner ? this->owner->y : 0;
    y = floorToPixel(oy + kHalfHeight * d * portableCos(theta));
    x = floorToPixel(ox + kHalfWidth * d * portableSin(theta));
    life = initialLife = kMinLife + kLifeSpread * l;
}

bool HeroSparkle::update(double dt, ParticleLists lists) {
    if (owner) {
        const double k = 1 - lifeAlpha();
        x += (owner->x - x) * k * kPull;
        y += (owner->y - y) * k * kPull;
    }
    return TrailParticle::update(dt, lists);
}

void HeroSparkle::draw(Tiler& tiler) const {
    const std::string_view tile = tiles::sparkleAtAge(lifeAlpha());
    if (!tile.empty())
        tiler.drawTile(tile, x, y);
}

} // namespace zindle
