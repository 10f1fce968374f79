#pragma once
// The particle kinds. Each lives in trails or sparkles of the Game and is owned there.
#include "effects/trail_particle.h"

#include <memory>
#include <string>

namespace zindle {

class RainParticle : public TrailParticle {
public:
    ParticleKind kind() const override { return ParticleKind::Rain; }
    explicit RainParticle(BlankParticle b) : TrailParticle(b), dy(0), dx(0) {}
    RainParticle(double x, double y, double dx, double dy);
    bool update(double dt, ParticleLists lists) override;
    void draw(Tiler& tiler) const override;
    double dy;
    double dx;
};

class RainbowParticle : public TrailParticle {
public:
    ParticleKind kind() const override { return ParticleKind::Rainbow; }
    explicit RainbowParticle(BlankParticle b) : TrailParticle(b) {}
    // index -2..2 picks the band: blue, green, yellow, orange, pink.
    RainbowParticle(int index, int x, int y, double lifeBase);
    void draw(Tiler& tiler) const override;
    std::string frame;
};

// Appends one slice of rainbow ribbon to trails: the five bands centred on (x, y), 3 px
// apart at right angles to the path (dx, dy). turn, from -1 to 1, says which way up the bands
// lie (and squeezes them together near 0). A mover that stands still lays nothing. Both the
// last catcher's rainbow and the win fountain lay their ribbons with this.
void layRainbowRibbon(ParticleList& trails, double x, double y, double dx, double dy, double turn,
                      double lifeBase);

class AscendParticle : public TrailParticle {
public:
    ParticleKind kind() const override { return ParticleKind::Ascend; }
    explicit AscendParticle(BlankParticle b) : TrailParticle(b) {}
    AscendParticle(double x, double y, std::string frame);
    bool update(double dt, ParticleLists lists) override;
    void draw(Tiler& tiler) const override;
    std::string frame;
};

class WinParticle : public TrailParticle {
public:
    ParticleKind kind() const override { return ParticleKind::Win; }
    explicit WinParticle(BlankParticle b) : TrailParticle(b), dy(0), dx(0) {}
    WinParticle(double x, double y, double dx, double dy);
    bool update(double dt, ParticleLists lists) override;
    double dy;
    double dx;
    double rainbowCooldown = 0;
    double sparkleCooldown = 0;
};

class MacGuffinDropParticle : public TrailParticle {
public:
    ParticleKind kind() const override { return ParticleKind::MacGuffinDrop; }
    explicit MacGuffinDropParticle(BlankParticle b) : TrailParticle(b), dy(0), dx(0) {}
    MacGuffinDropParticle(double x, double y, double dx, double dy);
    bool update(double dt, ParticleLists lists) override;
    // [draws random] Fades by flickering: each drawing takes a number from the game's one
    // random stream, so how often frames are drawn changes the match.
    void draw(Tiler& tiler) const override;
    double dy;
    double dx;
};

class HeroSparkle : public TrailParticle {
public:
    ParticleKind kind() const override { return ParticleKind::HeroSparkle; }
    // Without an owner until one is given.
    explicit HeroSparkle(BlankParticle b) : TrailParticle(b) {}
    // Shares ownership of its owner, which may leave the game while the sparkle still lives.
    explicit HeroSparkle(std::shared_ptr<const Entity> owner);
    bool update(double dt, ParticleLists lists) override;
    void draw(Tiler& tiler) const override;
    std::shared_ptr<const Entity> owner;
};

class SimpleSparkle : public TrailParticle {
public:
    ParticleKind kind() const override { return ParticleKind::SimpleSparkle; }
    explicit SimpleSparkle(BlankParticle b) : TrailParticle(b), dx(0), dy(0) {}
    SimpleSparkle(double x, double y, double dx, double dy);
    bool update(double dt, ParticleLists lists) override;
    void draw(Tiler& tiler) const override;
    double dx;
    double dy;
};

} // namespace zindle
