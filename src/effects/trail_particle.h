#pragma once
// The base of every particle: a position, a life in seconds, and the update that ends it.
#include "effects/entity.h"
#include "effects/particle_kind.h"

#include <memory>
#include <vector>

namespace zindle {

class Tiler;
class TrailParticle;

// One layer of particles, drawn in order; each particle is owned by its list.
using ParticleList = std::vector<std::unique_ptr<TrailParticle>>;

// The lists a particle may add to while it updates (a fountain sprays sparkles and ribbons).
// A particle that appends must not keep references into a list: it may reallocate.
struct ParticleLists {
    ParticleList& trails;
    ParticleList& sparkles;
};

class TrailParticle : public Entity {
public:
    TrailParticle(int x, int y, double life);
    // At (0, 0) without life, for code that fills in a saved state: draws no random number.
    explicit TrailParticle(BlankParticle) : TrailParticle(0, 0, 0) {}

    // The most derived kind the game knows of.
    virtual ParticleKind kind() const { return ParticleKind::Plain; }

    // life -= dt; true while the particle lives on. Overrides move first, then call this.
    virtual bool update(double dt, ParticleLists lists);
    virtual void draw(Tiler& /*tiler*/) const {}
    // The elapsed fraction of life, 0 new to 1 dead, clamped.
    double lifeAlpha() const;

    double life;
    double initialLife;
};

} // namespace zindle
