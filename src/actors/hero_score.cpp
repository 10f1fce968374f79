// What a hero plays for: the catch and its point, the crown of the strict leader, the rainbow
// trail of the last catcher, the sparkles of a scoring hero, the fall that spills the score and
// costs a life, and the sixth catch that wins and takes the hero out in a burst of rainbows.
#include "actors/hero.h"

#include "base/rules.h"
#include "effects/mac_guffin.h"
#include "effects/particles.h"
#include "framework/portable_math.h"
#include "framework/random.h"
#include "input/input.h"
#include "match/game.h"
#include "sound/beeper.h"
#include "sound/sfxr_category.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <string>

namespace zindle {

namespace {

constexpr double kCatchThrowDy = -1.8; // px per step, upwards
constexpr double kDropY = 320;         // px, the bottom edge the spilled MacGuffins rise from
constexpr double kDropSpreadPx = 16;   // px either side of the fall
constexpr double kDropRiseDy = -1;     // px per step, the slowest spilled MacGuffin
constexpr double kDropRiseJitter = -0.75;
constexpr double kShakeOnImpact = 1; // the least shake after a fall or a win

// The win's three explosions, growing louder.
constexpr double kWinExplosionVolumes[] = {0.6, 0.8, 1.0};
constexpr int kWinParticles = 10;
constexpr double kWinBurstSpeed = 2; // px per step
constexpr double kWinBurstLift = -1; // px per step, upwards

constexpr double kRainbowStampEvery = 0.0025; // s; under a full-speed step, so every step
constexpr double kRainbowLifeBase = 0.5;      // s

constexpr double kSparkleEveryPerPoint = 0.5; // s between sparkles, divided by the capped score
constexpr int kSparkleScoreCap = 5;

constexpr double kCrownPerSecond = 2;   // crowniness forms and fades in half a second
constexpr double kCrownChimeSteps = 10; // chimes on the way from 0 to 1

constexpr double kFullVolume = 1.0;

} // namespace

void Hero::setScore(int newScore, Game& game) {
    score = newScore;
    if (newScore > highScore) {
        highScore = newScore;
    }
    if (hasCrown || game.heroes.size() < 2) {
        return;
    }
    // The crown goes only to a strict leader; whoever this hero now leads loses it.
    hasCrown = true;
    for (std::size_t i = 0; i < game.heroes.size(); ++i) {
        Hero& other = *game.heroes[i];
        if (&other == this) {
            continue;
        }
        if (other.score >= score) {
            hasCrown = false;
        } else {
            other.hasCrown = false;
        }
    }
}

bool Hero::fall(Game& game) {
    ++game.tally.falls;
    while (score > 0) {
        --score;
        const double r1 = random();
        const double r2 = random();
        game.trails.push_back(std::make_unique<MacGuffinDropParticle>(
            x + (2 * r2 - 1) * kDropSpreadPx, kDropY, 0, kDropRiseJitter * r1 + kDropRiseDy));
    }
    bool alive = true;
    if (lives >= 1) {
        --lives;
        respawn();
    } else {
        alive = false;
    }
    game.shake = std::max(game.shake, kShakeOnImpact);
    // At the start point when the hero came back.
    Beeper::beep(SfxrCategory::EXPLOSION, kFullVolume, x);
    return alive;
}

bool Hero::catchMacGuffin(Game& game) {
    ++game.tally.catches;
    if (score >= rules::kOneCatchFromWinning) {
        win(game);
        return false;
    }
    dy = std::min(dy, kCatchThrowDy);
    invulnerable = true;
    game.macGuffin->hit();
    for (std::size_t i = 0; i < game.heroes.size(); ++i) {
        game.heroes[i]->hasRainbow = false;
    }
    hasRainbow = true;
    setScore(score + 1, game);
    Beeper::beep(SfxrCategory::PICKUP_COIN, kFullVolume, x);
    return true;
}

void Hero::win(Game& game) {
    ++game.tally.wins;
    score = 0;
    lives = 0;
    game.lastWinner = player;
    game.shake = std::max(game.shake, kShakeOnImpact);
    for (const double volume : kWinExplosionVolumes) {
        Beeper::beep(SfxrCategory::EXPLOSION, volume, x);
    }
    MacGuffin& mg = *game.macGuffin;
    mg.hit();
    for (int i = 0; i < kWinParticles; ++i) {
        const double a = static_cast<double>(i) / kWinParticles * 2 * std::numbers::pi;
        game.trails.push_back(
            std::make_unique<WinParticle>(mg.x, mg.y, dx + kWinBurstSpeed * portableSin(a),
                                          kWinBurstSpeed * portableCos(a) + kWinBurstLift));
        game.slomo = 1;
    }
    std::string frame =
        "PLAYER_" + std::to_string(player + 1) + "_SUPERUP" + (facesLeft() ? "_LEFT" : "_RIGHT");
    game.sparkles.push_back(std::make_unique<AscendParticle>(mg.x, mg.y, std::move(frame)));
}

void Hero::stampRainbow(double dt, Game& game) {
    rainbowCooldown -= dt;
    if (rainbowCooldown > 0) {
        return;
    }
    rainbowCooldown = kRainbowStampEvery;
    // hueDir turns the bands over as the hero turns.
    layRainbowRibbon(game.trails, x, y, dx, dy, hueDir, kRainbowLifeBase);
}

void Hero::emitSparkles(double dt, Game& game) {
    if (sparkleCooldown > 0) {
        sparkleCooldown -= dt;
    }
    if (score <= 0 || sparkleCooldown > 0) {
        return;
    }
    // A hero that nobody shares (never the case in a game) has no owner to hand a sparkle.
    if (auto self = weak_from_this().lock()) {
        game.sparkles.push_back(std::make_unique<HeroSparkle>(std::move(self)));
    }
    sparkleCooldown = kSparkleEveryPerPoint / std::min(score, kSparkleScoreCap);
}

void Hero::growCrown(double dt) {
    if (hasCrown) {
        const double old = crowniness;
        crowniness = std::min(1.0, crowniness + kCrownPerSecond * dt);
        if (std::floor(crowniness * kCrownChimeSteps) != std::floor(old * kCrownChimeSteps)) {
            Beeper::beep(SfxrCategory::PICKUP_COIN, kFullVolume, x);
        }
    } else {
        crowniness = std::max(0.0, crowniness - kCrownPerSecond * dt);
    }
}

} // namespace zindle
