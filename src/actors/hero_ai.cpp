// Computer steering: every now and then the hero picks a side of the MacGuffin to head for.
// It looks at nothing else; the random pause keeps several computer heroes out of step.
#include "actors/hero.h"

#include "effects/mac_guffin.h"
#include "framework/random.h"
#include "match/game.h"

namespace zindle {

namespace {

constexpr double kThinkPauseMax = 0.5; // s between decisions, uniformly 0 to this
constexpr double kAiSpeed = 0.75;      // px per step, the same as a full paddle

} // namespace

void Hero::think(double dt, const Game& game) {
    aiThinkCooldown -= dt;
    if (aiThinkCooldown > 0) {
        return;
    }
    aiThinkCooldown = random() * kThinkPauseMax;
    const MacGuffin* mg = game.macGuffin.get();
    if (mg == nullptr) {
        aiDesiredDx = 0;
    } else {
        // Exactly below or above it, the hero heads right.
        aiDesiredDx = x <= mg->x ? kAiSpeed : -kAiSpeed;
    }
}

} // namespace zindle
