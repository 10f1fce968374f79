// The winner's picture rising from the MacGuffin: straight up, fast, for exactly one second.
#include "effects/particles.h"

#include "base/rules.h"
#include "effects/pixel.h"
#include "render/tiler.h"

#include <utility>

namespace zindle {

namespace {
constexpr double kLife = 1.0;       // s
constexpr double kRiseSpeed = 20.0; // px per nominal step, upwards
} // namespace

AscendParticle::AscendParticle(double x, double y, std::string frame)
    : TrailParticle(floorToPixel(x), floorToPixel(y), kLife), frame(std::move(frame)) {}

bool AscendParticle::update(double dt, ParticleLists lists) {
    y -= kRiseSpeed * rules::kStepsPerSecond * dt;
    return TrailParticle::update(dt, lists);
}

void AscendParticle::draw(Tiler& tiler) const {
    if (!frame.empty())
        tiler.drawTile(frame, x, y);
}

} // namespace zindle
