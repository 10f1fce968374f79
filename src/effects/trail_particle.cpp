// The particle base: a life counted down in seconds of game time.
#include "effects/trail_particle.h"

#include <algorithm>

namespace zindle {

TrailParticle::TrailParticle(int x, int y, double life) : life(life), initialLife(life) {
    this->x = x;
    this->y = y;
}

bool TrailParticle::update(double dt, ParticleLists /*lists*/) {
    life -= dt;
    return life > 0;
}

double TrailParticle::lifeAlpha() const {
    // A particle born without life is as good as dead (and must not divide by zero).
    if (!(initialLife > 0))
        return 1;
    return std::clamp(1 - life / initialLife, 0.0, 1.0);
}

} // namespace zindle
