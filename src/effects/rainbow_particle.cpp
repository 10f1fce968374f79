// One band of a rainbow ribbon: stands still where it was laid until its life runs out.
#include "effects/particles.h"

#include "effects/pixel.h"
#include "framework/random.h"
#include "render/tiler.h"

#include <array>
#include <cmath>
#include <memory>
#include <string_view>

namespace zindle {

namespace {
constexpr double kLifeSpread = 0.5; // s, added at random to the creator's base
// Bands by index -2..2, from the lower edge of a ribbon to the upper.
constexpr std::array<std::string_view, 5> kBands{"RAINBOW_BLUE", "RAINBOW_GREEN", "RAINBOW_YELLOW",
                                                 "RAINBOW_ORANGE", "RAINBOW_PINK"};
constexpr int kLowestIndex = -2;
constexpr int kOuterBand = 2; // bands -2..2 in a slice of ribbon
constexpr double kBandPx = 3; // px between neighbouring bands

std::string_view bandTile(int index) {
    const int k = index - kLowestIndex;
    return k >= 0 && k < static_cast<int>(kBands.size()) ? kBands[k] : std::string_view{};
}
} // namespace

RainbowParticle::RainbowParticle(int index, int x, int y, double lifeBase)
    : TrailParticle(x, y, lifeBase + kLifeSpread * random()), frame(bandTile(index)) {}

void layRainbowRibbon(ParticleList& trails, double x, double y, double dx, double dy, double turn,
                      double lifeBase) {
    if (dx == 0 && dy == 0)
        return;
    const double length = std::sqrt(dx * dx + dy * dy);
    const double across = dy * kBandPx / length * turn;
    const double down = dx * -kBandPx / length * turn;
    // trails may reallocate as it grows; nothing here refers into it across an append.
    for (int band = -kOuterBand; band <= kOuterBand; ++band)
        trails.push_back(std::make_unique<RainbowParticle>(
            band, floorToPixel(x - band * across), floorToPixel(y - band * down), lifeBase));
}

void RainbowParticle::draw(Tiler& tiler) const {
    // An index outside the five bands leaves the name empty: nothing to draw.
    if (!frame.empty())
        tiler.drawTile(frame, x, y);
}

} // namespace zindle
