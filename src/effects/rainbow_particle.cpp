// One band of a rainbow ribbon: stands still where it was laid until its life runs out.
#include "effects/particles.h"

#include "framework/random.h"
#include "render/tiler.h"

#include <array>
#include <string_view>

namespace zindle {

namespace {
constexpr double kLifeSpread = 0.5; // s, added at random to the creator's base
// Bands by index -2..2, from the lower edge of a ribbon to the upper.
constexpr std::array<std::string_view, 5> kBands{"RAINBOW_BLUE", "RAINBOW_GREEN", "RAINBOW_YELLOW",
                                                 "RAINBOW_ORANGE", "RAINBOW_PINK"};
constexpr int kLowestIndex = -2;

std::string_view bandTile(int index) {
    const int k = index - kLowestIndex;
    return k >= 0 && k < static_cast<int>(kBands.size()) ? kBands[k] : std::string_view{};
}
} // namespace

RainbowParticle::RainbowParticle(int index, int x, int y, double lifeBase)
    : TrailParticle(x, y, lifeBase + kLifeSpread * random()), frame(bandTile(index)) {}

void RainbowParticle::draw(Tiler& tiler) const {
    // An index outside the five bands leaves the name empty: nothing to draw.
    if (!frame.empty())
        tiler.drawTile(frame, x, y);
}

} // namespace zindle
