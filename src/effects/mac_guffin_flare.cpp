// A flare twinkles on the MacGuffin: seven sparkle frames, then a jump to a new spot. It counts
// update calls rather than time, so slow motion does not slow the twinkle.
#include "effects/mac_guffin_flare.h"

#include "effects/entity.h"
#include "effects/tile_names.h"
#include "framework/random.h"
#include "render/tiler.h"

namespace zindle {

namespace {
constexpr double kSpread = 20.0; // px, the offset square's side, centred on the host
}

MacGuffinFlare::MacGuffinFlare(const Entity& host) : host(&host) {
    reset();
}

void MacGuffinFlare::reset() {
    x = kSpread * random() - kSpread / 2;
    y = kSpread * random() - kSpread / 2;
    frame = 0;
    frameCooldown = FRAMES_PER_FRAME;
}

void MacGuffinFlare::update() {
    --frameCooldown;
    if (frameCooldown > 0)
        return;
    ++frame;
    frameCooldown = FRAMES_PER_FRAME;
    if (frame >= FRAMES)
        reset();
}

void MacGuffinFlare::draw(Tiler& tiler) const {
    const std::string_view tile = tiles::sparkle(frame + 1);
    if (!tile.empty())
        tiler.drawTile(tile, host->x + x, host->y + y);
}

} // namespace zindle
