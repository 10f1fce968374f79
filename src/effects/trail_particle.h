#pragma once
// The base of every particle: a position, a life in seconds, and the update that ends it.
#include "actors/entity.h"

#include <cstdint>

namespace zindle {

class Game;
class Tiler;

// Every kind the game makes, for code that copies particles as values (match snapshots).
enum class ParticleKind : std::uint8_t {
    Plain,
    Rain,
    Rainbow,
    Ascend,
    Win,
    MacGuffinDrop,
    HeroSparkle,
    SimpleSparkle,
};
constexpr int kParticleKinds = 8;

class TrailParticle : public Entity {
public:
    TrailParticle(int x, int y, double life);

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
