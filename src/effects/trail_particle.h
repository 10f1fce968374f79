#pragma once
// The base of every particle: a position, a life in seconds, and the update that ends it.
#include "actors/entity.h"

namespace zindle {

class Game;
class Tiler;

class TrailParticle : public Entity {
public:
    TrailParticle(int x, int y, double life);

    // life -= dt; true while the particle lives on. Overrides move first, then call this.
    virtual bool update(double dt, Game& game);
    virtual void draw(Tiler& /*tiler*/) const {}
    // The elapsed fraction of life, 0 new to 1 dead, clamped.
    double lifeAlpha() const;

    double life;
    double initialLife;
};

} // namespace zindle
