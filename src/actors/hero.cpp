// A hero's life in play: construction, respawn, and the fourteen steps of update, with the
// movement and the three kinds of contact (heroes, clouds, the MacGuffin). Score, lives and the
// effects of a catch live in hero_score.cpp, computer steering in hero_ai.cpp.
#include "actors/hero.h"

#include "actors/cloud.h"
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

namespace zindle {

namespace {

constexpr double kPaddleSpeed = 0.75;    // px per step at a full paddle
constexpr double kAiBlendPerStep = 0.02; // share of the gap to aiDesiredDx closed each step
constexpr double kSteeredDx = 0.1;       // px per step; faster than this restores the lives
constexpr int kFullLives = 2;
constexpr double kInvulnerableRiseDy = -0.75; // px per step; rising faster keeps invulnerability

constexpr double kSpawnLeftX = 180;   // px, player 0's start point
constexpr double kSpawnSpacingX = 40; // px between the players' start points
constexpr double kSpawnY = 320;       // px, the bottom edge
constexpr double kSpawnDy = -2.6;     // px per step, thrown upwards

constexpr double kHeroReach = 20;        // px on both axes, inclusive
constexpr double kBounceDy = 1.2;        // px per step, for hero and cloud contacts
constexpr double kCloudReach = 10;       // px added to a cloud's half-extents, inclusive
constexpr double kCloudFreshBelow = 0.5; // s of hitCooldown; a cloud rains only below this
constexpr int kRainDrops = 20;
constexpr double kRainSpread = 0.3;  // px per step of spread, without the rainbow
constexpr double kRainDrift = -0.25; // px per step upwards, without the rainbow
constexpr double kRainbowRainSpread = 0.5;
constexpr double kCatchReachX = 16; // px, strict
constexpr double kCatchReachY = 18; // px, inclusive
constexpr double kHueDriftPerStep = 0.02;

constexpr double kQuietVolume = 0.75;
constexpr double kFullVolume = 1.0;

} // namespace

Hero::Hero(int player) : player(player) {
    crowniness = 0;
    lives = kFullLives;
    highScore = 0;
    respawn();
    Beeper::beep(SfxrCategory::LASER_SHOOT, kFullVolume, x);
}

void Hero::respawn() {
    invulnerable = true;
    x = player * kSpawnSpacingX + kSpawnLeftX;
    y = kSpawnY;
    dx = 0;
    dy = kSpawnDy;
    hueDir = 1;
    spawnX = static_cast<int>(std::floor(x));
    spawnY = static_cast<int>(std::floor(y));
    rainbowCooldown = 0;
    sparkleCooldown = 0;
    aiThinkCooldown = 0;
    score = 0;
    hasRainbow = false;
    aiDesiredDx = 0;
    hasCrown = false;
}

bool Hero::isComputerControlled(const Game& game) const {
    return player >= 0 && static_cast<std::size_t>(player) < game.aiFlags.size() &&
           game.aiFlags[static_cast<std::size_t>(player)];
}

bool Hero::update(double dt, Game& game) {
    bool alive = true;

    if (isComputerControlled(game)) {
        think(dt, game);
        // A fixed blend per step, whatever dt: the computer eases into its speed.
        dx = aiDesiredDx * kAiBlendPerStep + dx * (1 - kAiBlendPerStep);
    } else {
        const Paddle* paddle = Input::paddle(player);
        dx = paddle ? paddle->getValue() * kPaddleSpeed : 0;
    }
    if (std::abs(dx) > kSteeredDx) {
        lives = kFullLives;
    }

    x += dx * dt * rules::kStepsPerSecond;
    dy += dt * rules::kGravityPerStep * rules::kStepsPerSecond;
    y += dt * dy * rules::kStepsPerSecond;

    if (y > rules::kFallOutY) {
        alive = fall(game);
    }
    if (dy >= kInvulnerableRiseDy) {
        invulnerable = false;
    }
    if (!alive) {
        return false;
    }

    if (!invulnerable) {
        touchHeroes(game);
    }
    touchClouds(game);
    if (canCatch(game)) {
        alive = catchMacGuffin(game);
    }

    const double towards = dx > 0 ? -1 : 1;
    hueDir = std::clamp(hueDir + towards * kHueDriftPerStep, -1.0, 1.0);

    if (hasRainbow) {
        stampRainbow(dt, game);
    }
    emitSparkles(dt, game);
    growCrown(dt);
    return alive;
}

void Hero::touchHeroes(Game& game) {
    for (std::size_t i = 0; i < game.heroes.size(); ++i) {
        Hero& other = *game.heroes[i];
        if (&other == this || other.invulnerable) {
            continue;
        }
        if (std::abs(x - other.x) > kHeroReach || std::abs(y - other.y) > kHeroReach) {
            continue;
        }
        // The higher one goes up; on a tie the hero whose update runs goes up.
        if (other.y < y) {
            dy = std::max(dy, kBounceDy);
            other.dy = std::min(other.dy, -kBounceDy);
        } else {
            dy = std::min(dy, -kBounceDy);
            other.dy = std::max(other.dy, kBounceDy);
        }
        Beeper::beep(SfxrCategory::HIT_HURT, kQuietVolume, x);
    }
}

void Hero::touchClouds(Game& game) {
    for (std::size_t i = 0; i < game.clouds.size(); ++i) {
        Cloud& cloud = *game.clouds[i];
        const double w = cloud.getWidth();
        const double h = cloud.getHeight();
        if (std::abs(x - cloud.x) > w + kCloudReach || std::abs(y - cloud.y) > h + kCloudReach) {
            continue;
        }
        // A cloud already flying off from an earlier hit neither rains nor sounds again.
        if (cloud.hitCooldown < kCloudFreshBelow) {
            for (int drop = 0; drop < kRainDrops; ++drop) {
                const double r = random();
                const double a = random();
                const double m = random();
                const double angle = a * 2 * std::numbers::pi;
                const double sx = portableSin(angle) * m;
                const double sy = portableCos(angle) * m;
                // With the rainbow, the rain carries some of the hero's speed before the bounce.
                const double vx = hasRainbow ? dx * r + kRainbowRainSpread * sx : kRainSpread * sx;
                const double vy =
                    hasRainbow ? dy * r + kRainbowRainSpread * sy : kRainSpread * sy + kRainDrift;
                game.trails.push_back(
                    std::make_unique<RainParticle>(cloud.x + w * sx, cloud.y + h * sy, vx, vy));
            }
            Beeper::beep(SfxrCategory::JUMP, kQuietVolume, x);
        }
        dy = std::min(dy, -kBounceDy);
        cloud.hit();
    }
}

bool Hero::canCatch(const Game& game) const {
    const MacGuffin* mg = game.macGuffin.get();
    return mg != nullptr && mg->state == MacGuffin::STATE_IDLE &&
           std::abs(x - mg->x) < kCatchReachX && std::abs(y - mg->y) <= kCatchReachY;
}

} // namespace zindle
