// The state checksum: each object's fields in declaration order, each particle tagged with its
// kind, mixed word by word. Reading only, it takes no random numbers and changes nothing.
#include "match/state_checksum.h"

#include "actors/cloud.h"
#include "actors/hero.h"
#include "effects/mac_guffin.h"
#include "effects/particles.h"
#include "framework/bits_as.h"
#include "framework/random.h"
#include "input/input.h"
#include "match/game.h"

#include <algorithm>
#include <bit>
#include <string_view>
#include <typeinfo>

namespace zindle {
namespace {

// One multiply-rotate round per 64-bit word, on four lanes in turn: each round waits for the
// last one on its lane only, so the processor overlaps four, and thousands of particles cost
// well under a tenth of a millisecond. Strong enough to tell two matches apart.
class StateHasher {
public:
    void word(std::uint64_t w) {
        std::uint64_t& h = lanes_[next_++ & 3];
        h ^= w * kMulA;
        h = std::rotl(h, 31) * kMulB;
    }
    void number(double d) { word(bitsAs<std::uint64_t>(d)); }
    void integer(std::int64_t i) { word(static_cast<std::uint64_t>(i)); }
    void flag(bool b) { word(b ? 1 : 0); }
    void text(std::string_view s) {
        integer(static_cast<std::int64_t>(s.size()));
        // Eight bytes to a word, first byte lowest, whatever the machine's byte order.
        for (std::size_t i = 0; i < s.size(); i += 8) {
            std::uint64_t w = 0;
            const std::size_t n = std::min<std::size_t>(8, s.size() - i);
            for (std::size_t j = 0; j < n; ++j)
                w |= static_cast<std::uint64_t>(static_cast<unsigned char>(s[i + j])) << (8 * j);
            word(w);
        }
    }
    std::uint64_t result() const {
        std::uint64_t h = next_;
        for (std::uint64_t lane : lanes_) {
            h ^= lane;
            h = std::rotl(h, 27) * kMulA;
        }
        h ^= h >> 33;
        h *= kMulB;
        h ^= h >> 29;
        return h;
    }

private:
    static constexpr std::uint64_t kMulA = 0x9E3779B97F4A7C15ull;
    static constexpr std::uint64_t kMulB = 0xC2B2AE3D27D4EB4Full;
    // Any fixed, distinct starts.
    std::uint64_t lanes_[4] = {0x5A494E444C45ull, 0x50454C4C4F52ull, 0x5245504C4159ull,
                               0x434845434B53ull};
    std::uint64_t next_ = 0;
};

// Tags for the particle kinds: fixed numbers, not the compiler's type names.
enum ParticleTag : std::int64_t {
    kPlainTrail = 1,
    kRain,
    kRainbow,
    kAscend,
    kWin,
    kMacGuffinDrop,
    kHeroSparkle,
    kSimpleSparkle,
};

void hashParticle(StateHasher& h, const TrailParticle& p) {
    // The exact kind, compared by identity: cheaper than a chain of dynamic casts.
    const std::type_info& kind = typeid(p);
    if (kind == typeid(RainParticle)) {
        const auto* rain = static_cast<const RainParticle*>(&p);
        h.integer(kRain);
        h.number(rain->dx);
        h.number(rain->dy);
    } else if (kind == typeid(RainbowParticle)) {
        const auto* rainbow = static_cast<const RainbowParticle*>(&p);
        h.integer(kRainbow);
        h.text(rainbow->frame);
    } else if (kind == typeid(AscendParticle)) {
        const auto* ascend = static_cast<const AscendParticle*>(&p);
        h.integer(kAscend);
        h.text(ascend->frame);
    } else if (kind == typeid(WinParticle)) {
        const auto* win = static_cast<const WinParticle*>(&p);
        h.integer(kWin);
        h.number(win->dx);
        h.number(win->dy);
        h.number(win->rainbowCooldown);
        h.number(win->sparkleCooldown);
    } else if (kind == typeid(MacGuffinDropParticle)) {
        const auto* drop = static_cast<const MacGuffinDropParticle*>(&p);
        h.integer(kMacGuffinDrop);
        h.number(drop->dx);
        h.number(drop->dy);
    } else if (kind == typeid(HeroSparkle)) {
        const auto* sparkle = static_cast<const HeroSparkle*>(&p);
        h.integer(kHeroSparkle);
        h.flag(sparkle->owner != nullptr);
        if (sparkle->owner) {
            h.number(sparkle->owner->x);
            h.number(sparkle->owner->y);
        }
    } else if (kind == typeid(SimpleSparkle)) {
        const auto* simple = static_cast<const SimpleSparkle*>(&p);
        h.integer(kSimpleSparkle);
        h.number(simple->dx);
        h.number(simple->dy);
    } else {
        h.integer(kPlainTrail);
    }
    h.number(p.x);
    h.number(p.y);
    h.number(p.life);
    h.number(p.initialLife);
}

void hashHero(StateHasher& h, const Hero& hero) {
    h.number(hero.x);
    h.number(hero.y);
    h.integer(hero.player);
    h.integer(hero.lives);
    h.integer(hero.facing);
    h.number(hero.dx);
    h.number(hero.dy);
    h.flag(hero.invulnerable);
    h.number(hero.hueDir);
    h.integer(hero.spawnX);
    h.integer(hero.spawnY);
    h.integer(hero.score);
    h.integer(hero.highScore);
    h.flag(hero.hasRainbow);
    h.number(hero.rainbowCooldown);
    h.number(hero.sparkleCooldown);
    h.flag(hero.hasCrown);
    h.number(hero.crowniness);
    h.number(hero.aiThinkCooldown);
    h.number(hero.aiDesiredDx);
}

void hashCloud(StateHasher& h, const Cloud& cloud) {
    h.number(cloud.x);
    h.number(cloud.y);
    h.integer(cloud.x0);
    h.integer(cloud.y0);
    h.integer(cloud.x1);
    h.integer(cloud.y1);
    h.number(cloud.hitCooldown);
    h.integer(cloud.size);
}

void hashMacGuffin(StateHasher& h, const MacGuffin& m) {
    h.number(m.x);
    h.number(m.y);
    h.integer(m.state);
    h.number(m.stateCooldown);
    h.integer(static_cast<std::int64_t>(m.flares.size()));
    for (const auto& flare : m.flares) {
        h.number(flare->x);
        h.number(flare->y);
        h.integer(flare->frame);
        h.integer(flare->frameCooldown);
    }
}

void hashInput(StateHasher& h) {
    h.integer(static_cast<std::int64_t>(Input::paddles.size()));
    for (const Paddle& paddle : Input::paddles) {
        h.number(paddle.digitalSmoothed);
        h.number(paddle.output);
        h.integer(paddle.facing);
        h.number(paddle.pad);
    }
    // An ordered map: the same keys come in the same order everywhere.
    for (const auto& [key, held] : Input::keyStates) {
        if (held)
            h.integer(key);
    }
}

} // namespace

std::uint64_t stateChecksum(const Game& game) {
    StateHasher h;
    h.number(game.boardTime);
    h.number(game.shake);
    h.number(game.titleAlpha);
    h.number(game.gameTimeout);
    h.number(game.slomo);
    h.integer(game.lastWinner);
    for (bool ai : game.aiFlags)
        h.flag(ai);
    h.integer(game.tally.catches);
    h.integer(game.tally.falls);
    h.integer(game.tally.wins);

    h.integer(static_cast<std::int64_t>(game.heroes.size()));
    for (const auto& hero : game.heroes)
        hashHero(h, *hero);
    h.integer(static_cast<std::int64_t>(game.clouds.size()));
    for (const auto& cloud : game.clouds)
        hashCloud(h, *cloud);
    h.flag(game.macGuffin != nullptr);
    if (game.macGuffin)
        hashMacGuffin(h, *game.macGuffin);
    for (const auto* list : {&game.trails, &game.sparkles}) {
        h.integer(static_cast<std::int64_t>(list->size()));
        for (const auto& particle : *list)
            hashParticle(h, *particle);
    }
    hashInput(h);
    h.integer(static_cast<std::int64_t>(randomDrawCount()));
    return h.result();
}

} // namespace zindle
