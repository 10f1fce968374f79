#pragma once
// The base of every particle: a position, a life in seconds, and the update that ends it.
#include "actors/entity.h"
#include "effects/particle_kind.h"

namespace zindle {

class Game;
class Tiler;

class TrailParticle : public Entity {
public:
    TrailParticle(int x, int y, double life);
    // At (0, 0) without life, for code that fills in a saved state: draws no random number.
    explicit TrailParticle(BlankParticle) : TrailParticle(0, 0, 0) {}

    // The most derived kind the game knows of.
    virtual ParticleKind kind() const { return ParticleKind::Plain; }

    // life -= dt; true while the particle lives on. Overrides move first, then call this.
    virtual bool update(double dt, Game& game);
    virtual void draw(Tiler& /*tiler*/) const {}
    // The elapsed fraction of life, 0 new to 1 dead, clamped.
    double lifeAlpha() const;

    double life;
    double initialLife;
};

} // namespace zindle
