// The board's fixed step: real time becomes game time through the slow motion, the title and
// timeout timers run, computer players join, and every object advances in a fixed order.
#include "match/game.h"

#include "actors/cloud.h"
#include "actors/hero.h"
#include "base/rules.h"
#include "effects/mac_guffin.h"
#include "effects/trail_particle.h"
#include "sound/music.h"

#include <algorithm>
#include <cstddef>

namespace zindle {

namespace {

constexpr double kSlomoDecayPerSecond = 0.5;  // of real time
constexpr double kShakeDecayPerSecond = 2;    // of game time
constexpr double kTitleOpenPerSecond = 1.5;   // titleAlpha 1 -> 0 in two thirds of a second
constexpr double kTitleClosePerSecond = 0.5;  // titleAlpha 0 -> 1 in two seconds
constexpr double kTimeoutRisePerSecond = 0.2; // gameTimeout 0 -> 1 in five seconds

// Updates every particle of list and removes the dead, keeping the order of the living. The
// length is read afresh for every test, so particles appended during the pass are updated in the
// same pass. The living slide down over the dead as the pass goes, rather than each removal
// shifting the whole tail: a win leaves over ten thousand particles, and erasing them one by one
// cost more than a whole step's budget. No particle looks at the list during its update.
void updateParticles(ParticleList& list, double dt, ParticleLists lists) {
    std::size_t kept = 0;
    for (std::size_t k = 0; k < list.size(); ++k) {
        if (list[k]->update(dt, lists)) {
            if (kept != k) {
                list[kept] = std::move(list[k]);
            }
            ++kept;
        } else {
            list[k].reset(); // gone at once, as if erased
        }
    }
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(kept), list.end());
}

} // namespace

void Game::update(double dt) {
    // max, not clamp: a step whose length is not a number leaves no slow motion behind.
    slomo = std::max(0.0, slomo - kSlomoDecayPerSecond * dt);
    const double speed = 1 - slomo;
    const double c = dt * speed * speed;
    // Also stops a step whose length is not a number.
    if (!(c > 0)) {
        return;
    }
    boardTime += c;
    shake = std::max(0.0, shake - kShakeDecayPerSecond * c);

    if (!heroes.empty()) {
        gameTimeout = 0;
        titleAlpha = std::clamp(titleAlpha - kTitleOpenPerSecond * c, 0.0, 1.0);
        Music::ensurePlaying(gameMusic);
    } else if (gameTimeout < 1) {
        // The match music plays on through the aftermath.
        gameTimeout = std::clamp(gameTimeout + kTimeoutRisePerSecond * c, 0.0, 1.0);
    } else {
        titleAlpha = std::clamp(titleAlpha + kTitleClosePerSecond * c, 0.0, 1.0);
        Music::ensurePlaying(menuMusic);
    }

    for (int p = 0; p < rules::kPlayers; ++p) {
        if (static_cast<std::size_t>(p) >= aiFlags.size() || !aiFlags[p]) {
            continue;
        }
        if (!hasHero(p)) {
            spawnHero(p);
        }
    }

    // No hero moves until the title is fully open.
    std::size_t k = 0;
    while (k < heroes.size() && titleAlpha == 0) {
        // Held for the call, so the hero outlives its own update whatever it does to the list.
        const std::shared_ptr<Hero> hero = heroes[k];
        if (hero->update(c, *this)) {
            ++k;
        } else {
            heroes.erase(heroes.begin() + static_cast<std::ptrdiff_t>(k));
        }
    }

    // Heroes update before clouds and the MacGuffin, so a contact sees where they stood last step.
    for (std::size_t i = 0; i < clouds.size(); ++i) {
        clouds[i]->update(c);
    }
    if (macGuffin) {
        macGuffin->update(c);
    }
    updateParticles(trails, c, particleLists());
    updateParticles(sparkles, c, particleLists());
}

} // namespace zindle
