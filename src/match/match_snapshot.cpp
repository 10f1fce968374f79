// Capture copies every object's fields into vectors of plain records kept from one capture to
// the next; restore writes them back into the game's own objects where it has them of the
// right kind, so that steady rollback costs copies, not allocations.
#include "match/match_snapshot.h"

#include "actors/cloud.h"
#include "actors/hero.h"
#include "effects/mac_guffin.h"
#include "effects/particles.h"
#include "input/input.h"
#include "match/game.h"
#include "sound/beeper.h"
#include "sound/music.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <memory>

namespace zindle {

namespace {

// The record at position used of records, reusing what is there, and counts it.
template <class T> T& next(std::vector<T>& records, std::size_t& used) {
    if (used == records.size())
        records.emplace_back();
    return records[used++];
}

template <class T> void keepFirst(std::vector<T>& values, std::size_t n) {
    if (values.size() > n)
        values.erase(values.begin() + static_cast<std::ptrdiff_t>(n), values.end());
}

std::size_t slot(ParticleKind kind) {
    return static_cast<std::size_t>(kind);
}

template <class T> std::size_t index(T i) {
    return static_cast<std::size_t>(i);
}

void save(const Hero& hero, HeroState& s) {
    s.x = hero.x;
    s.y = hero.y;
    s.player = hero.player;
    s.lives = hero.lives;
    s.facing = hero.facing;
    s.dx = hero.dx;
    s.dy = hero.dy;
    s.invulnerable = hero.invulnerable;
    s.hueDir = hero.hueDir;
    s.spawnX = hero.spawnX;
    s.spawnY = hero.spawnY;
    s.score = hero.score;
    s.highScore = hero.highScore;
    s.hasRainbow = hero.hasRainbow;
    s.rainbowCooldown = hero.rainbowCooldown;
    s.sparkleCooldown = hero.sparkleCooldown;
    s.hasCrown = hero.hasCrown;
    s.crowniness = hero.crowniness;
    s.aiThinkCooldown = hero.aiThinkCooldown;
    s.aiDesiredDx = hero.aiDesiredDx;
}

void load(const HeroState& s, Hero& hero) {
    hero.x = s.x;
    hero.y = s.y;
    hero.player = s.player;
    hero.lives = s.lives;
    hero.facing = s.facing;
    hero.dx = s.dx;
    hero.dy = s.dy;
    hero.invulnerable = s.invulnerable;
    hero.hueDir = s.hueDir;
    hero.spawnX = s.spawnX;
    hero.spawnY = s.spawnY;
    hero.score = s.score;
    hero.highScore = s.highScore;
    hero.hasRainbow = s.hasRainbow;
    hero.rainbowCooldown = s.rainbowCooldown;
    hero.sparkleCooldown = s.sparkleCooldown;
    hero.hasCrown = s.hasCrown;
    hero.crowniness = s.crowniness;
    hero.aiThinkCooldown = s.aiThinkCooldown;
    hero.aiDesiredDx = s.aiDesiredDx;
}

std::shared_ptr<Hero> makeHero(const HeroState& s) {
    auto hero = std::make_shared<Hero>(s.player, Hero::Unspawned{});
    load(s, *hero);
    return hero;
}

void saveBase(const TrailParticle& p, ParticleState& s) {
    s.x = p.x;
    s.y = p.y;
    s.life = p.life;
    s.initialLife = p.initialLife;
}

void loadBase(const ParticleState& s, TrailParticle& p) {
    p.x = s.x;
    p.y = s.y;
    p.life = s.life;
    p.initialLife = s.initialLife;
}

template <class P> void saveMoving(const P& p, MovingParticleState& s) {
    saveBase(p, s);
    s.dx = p.dx;
    s.dy = p.dy;
}

template <class P> void loadMoving(const MovingParticleState& s, P& p) {
    loadBase(s, p);
    p.dx = s.dx;
    p.dy = s.dy;
}

MusicChoice musicChoice(const std::shared_ptr<Sound>& track) {
    if (!track)
        return MusicChoice::Silent;
    if (track == Game::gameMusic)
        return MusicChoice::Match;
    if (track == Game::menuMusic)
        return MusicChoice::Title;
    return MusicChoice::Other;
}

// Restore's working memory, kept between calls so that steady rollback allocates nothing: the
// game's particles sorted by kind, ready to be overwritten, and the resolved sparkle owners.
struct RestoreScratch {
    std::array<std::vector<std::unique_ptr<TrailParticle>>, kParticleKinds> spare;
    std::array<std::size_t, kParticleKinds> spareUsed{};
    std::vector<std::shared_ptr<const Entity>> owners;

    void collect(std::vector<std::unique_ptr<TrailParticle>>& list) {
        for (auto& particle : list)
            spare[slot(particle->kind())].push_back(std::move(particle));
        list.clear();
    }
    // A spare particle of kind P, or a blank new one.
    template <class P> P& take(ParticleKind kind, std::vector<std::unique_ptr<TrailParticle>>& to) {
        const std::size_t k = slot(kind);
        if (spareUsed[k] < spare[k].size())
            to.push_back(std::move(spare[k][spareUsed[k]++]));
        else
            to.push_back(std::make_unique<P>(BlankParticle{}));
        return static_cast<P&>(*to.back());
    }
    void clear() {
        for (auto& list : spare)
            list.clear();
        spareUsed.fill(0);
        owners.clear();
    }
};

RestoreScratch& restoreScratch() {
    thread_local RestoreScratch scratch;
    return scratch;
}

} // namespace

void MatchSnapshot::capture(const Game& game) {
    MatchState& s = state_;
    s.captured = true;
    s.boardTime = game.boardTime;
    s.shake = game.shake;
    s.titleAlpha = game.titleAlpha;
    s.gameTimeout = game.gameTimeout;
    s.slomo = game.slomo;
    s.lastWinner = game.lastWinner;
    s.catches = game.tally.catches;
    s.falls = game.tally.falls;
    s.wins = game.tally.wins;
    s.aiFlags = game.aiFlags;

    std::size_t used = 0;
    for (const auto& hero : game.heroes)
        save(*hero, next(s.heroes, used));
    keepFirst(s.heroes, used);

    used = 0;
    for (const auto& cloud : game.clouds) {
        CloudState& c = next(s.clouds, used);
        c.x = cloud->x;
        c.y = cloud->y;
        c.x0 = cloud->x0;
        c.y0 = cloud->y0;
        c.x1 = cloud->x1;
        c.y1 = cloud->y1;
        c.hitCooldown = cloud->hitCooldown;
        c.size = cloud->size;
    }
    keepFirst(s.clouds, used);

    s.hasMacGuffin = game.macGuffin != nullptr;
    used = 0;
    if (const MacGuffin* mg = game.macGuffin.get()) {
        s.macGuffin.x = mg->x;
        s.macGuffin.y = mg->y;
        s.macGuffin.state = mg->state;
        s.macGuffin.stateCooldown = mg->stateCooldown;
        for (const auto& flare : mg->flares) {
            FlareState& f = next(s.macGuffin.flares, used);
            f.x = flare->x;
            f.y = flare->y;
            f.frame = flare->frame;
            f.frameCooldown = flare->frameCooldown;
        }
    }
    keepFirst(s.macGuffin.flares, used);

    captureParticles(game);

    used = 0;
    for (const Paddle& paddle : Input::paddles) {
        PaddleState& p = next(s.paddles, used);
        p.leftKeys = paddle.leftKeys;
        p.rightKeys = paddle.rightKeys;
        p.usesAccelerometer = paddle.usesAccelerometer;
        p.digitalSmoothed = paddle.digitalSmoothed;
        p.output = paddle.output;
        p.facing = paddle.facing;
        p.pad = paddle.pad;
    }
    keepFirst(s.paddles, used);
    s.keyStates.clear();
    for (const auto& key : Input::keyStates)
        s.keyStates.push_back(key);
    s.random = randomState();
    s.effectOrders.resize(Beeper::sounds.size());
    for (std::size_t i = 0; i < Beeper::sounds.size(); ++i) {
        if (Beeper::sounds[i])
            Beeper::sounds[i]->captureOrder(s.effectOrders[i]);
        else
            s.effectOrders[i].clear();
    }
    s.music = musicChoice(Music::desiredSound);
}

void MatchSnapshot::captureParticles(const Game& game) {
    ParticlesState& p = state_.particles;
    std::array<std::size_t, kParticleKinds> used{};
    std::size_t departedUsed = 0;
    p.owners.clear();
    // The entity behind each entry of p.owners; sparkles of one owner mostly come together, so
    // the last one found is tried first.
    thread_local std::vector<const Entity*> ownerKeys;
    ownerKeys.clear();
    std::int32_t lastOwner = -1;

    const auto ownerIndex = [&](const Entity* owner) -> std::int32_t {
        if (owner == nullptr)
            return -1;
        if (lastOwner >= 0 && ownerKeys[index(lastOwner)] == owner)
            return lastOwner;
        const auto known = std::find(ownerKeys.begin(), ownerKeys.end(), owner);
        if (known != ownerKeys.end())
            return lastOwner = static_cast<std::int32_t>(known - ownerKeys.begin());
        SparkleOwner entry;
        for (std::size_t h = 0; h < game.heroes.size(); ++h) {
            if (static_cast<const Entity*>(game.heroes[h].get()) == owner)
                entry.listed = static_cast<std::int32_t>(h);
        }
        if (entry.listed < 0) {
            if (const auto* hero = dynamic_cast<const Hero*>(owner)) {
                save(*hero, next(state_.departed, departedUsed));
                entry.departed = static_cast<std::int32_t>(departedUsed - 1);
            } else {
                entry.x = owner->x;
                entry.y = owner->y;
            }
        }
        ownerKeys.push_back(owner);
        p.owners.push_back(entry);
        return lastOwner = static_cast<std::int32_t>(p.owners.size() - 1);
    };

    const auto captureList = [&](const std::vector<std::unique_ptr<TrailParticle>>& list,
                                 std::vector<ParticleKind>& kinds) {
        kinds.clear();
        for (const auto& particle : list) {
            const ParticleKind kind = particle->kind();
            kinds.push_back(kind);
            std::size_t& n = used[slot(kind)];
            switch (kind) {
            case ParticleKind::Plain:
                saveBase(*particle, next(p.plain, n));
                break;
            case ParticleKind::Rain:
                saveMoving(static_cast<const RainParticle&>(*particle), next(p.rain, n));
                break;
            case ParticleKind::Rainbow: {
                PictureParticleState& r = next(p.rainbow, n);
                saveBase(*particle, r);
                r.frame = static_cast<const RainbowParticle&>(*particle).frame;
                break;
            }
            case ParticleKind::Ascend: {
                PictureParticleState& a = next(p.ascend, n);
                saveBase(*particle, a);
                a.frame = static_cast<const AscendParticle&>(*particle).frame;
                break;
            }
            case ParticleKind::Win: {
                const auto& win = static_cast<const WinParticle&>(*particle);
                WinParticleState& w = next(p.win, n);
                saveMoving(win, w);
                w.rainbowCooldown = win.rainbowCooldown;
                w.sparkleCooldown = win.sparkleCooldown;
                break;
            }
            case ParticleKind::MacGuffinDrop:
                saveMoving(static_cast<const MacGuffinDropParticle&>(*particle), next(p.drop, n));
                break;
            case ParticleKind::HeroSparkle: {
                HeroSparkleState& h = next(p.heroSparkle, n);
                saveBase(*particle, h);
                h.owner = ownerIndex(static_cast<const HeroSparkle&>(*particle).owner.get());
                break;
            }
            case ParticleKind::SimpleSparkle:
                saveMoving(static_cast<const SimpleSparkle&>(*particle), next(p.simpleSparkle, n));
                break;
            }
        }
    };
    captureList(game.trails, p.trailKinds);
    captureList(game.sparkles, p.sparkleKinds);

    keepFirst(p.plain, used[slot(ParticleKind::Plain)]);
    keepFirst(p.rain, used[slot(ParticleKind::Rain)]);
    keepFirst(p.rainbow, used[slot(ParticleKind::Rainbow)]);
    keepFirst(p.ascend, used[slot(ParticleKind::Ascend)]);
    keepFirst(p.win, used[slot(ParticleKind::Win)]);
    keepFirst(p.drop, used[slot(ParticleKind::MacGuffinDrop)]);
    keepFirst(p.heroSparkle, used[slot(ParticleKind::HeroSparkle)]);
    keepFirst(p.simpleSparkle, used[slot(ParticleKind::SimpleSparkle)]);
    keepFirst(state_.departed, departedUsed);
}

void MatchSnapshot::restore(Game& game) const {
    const MatchState& s = state_;
    if (!s.captured)
        return;
    game.boardTime = s.boardTime;
    game.shake = s.shake;
    game.titleAlpha = s.titleAlpha;
    game.gameTimeout = s.gameTimeout;
    game.slomo = s.slomo;
    game.lastWinner = s.lastWinner;
    game.tally = {s.catches, s.falls, s.wins};
    game.aiFlags = s.aiFlags;

    keepFirst(game.heroes, s.heroes.size());
    for (std::size_t i = 0; i < s.heroes.size(); ++i) {
        if (i < game.heroes.size())
            load(s.heroes[i], *game.heroes[i]);
        else
            game.heroes.push_back(makeHero(s.heroes[i]));
    }

    keepFirst(game.clouds, s.clouds.size());
    for (std::size_t i = 0; i < s.clouds.size(); ++i) {
        const CloudState& c = s.clouds[i];
        if (i == game.clouds.size())
            game.clouds.push_back(std::make_unique<Cloud>(c.x0, c.y0, c.size));
        Cloud& cloud = *game.clouds[i];
        cloud.x = c.x;
        cloud.y = c.y;
        cloud.x0 = c.x0;
        cloud.y0 = c.y0;
        cloud.x1 = c.x1;
        cloud.y1 = c.y1;
        cloud.hitCooldown = c.hitCooldown;
        cloud.size = c.size;
    }

    if (!s.hasMacGuffin) {
        game.macGuffin.reset();
    } else {
        if (!game.macGuffin)
            game.macGuffin = std::make_unique<MacGuffin>(MacGuffin::Unplaced{});
        MacGuffin& mg = *game.macGuffin;
        mg.x = s.macGuffin.x;
        mg.y = s.macGuffin.y;
        mg.state = s.macGuffin.state;
        mg.stateCooldown = s.macGuffin.stateCooldown;
        keepFirst(mg.flares, s.macGuffin.flares.size());
        for (std::size_t i = 0; i < s.macGuffin.flares.size(); ++i) {
            if (i == mg.flares.size())
                mg.flares.push_back(
                    std::make_unique<MacGuffinFlare>(mg, MacGuffinFlare::Unplaced{}));
            MacGuffinFlare& flare = *mg.flares[i];
            const FlareState& f = s.macGuffin.flares[i];
            flare.x = f.x;
            flare.y = f.y;
            flare.frame = f.frame;
            flare.frameCooldown = f.frameCooldown;
            flare.host = &mg;
        }
    }

    restoreParticles(game);

    // Input::init makes the four paddles; a state with others (from elsewhere) gets them made.
    keepFirst(Input::paddles, s.paddles.size());
    for (std::size_t i = 0; i < s.paddles.size(); ++i) {
        const PaddleState& p = s.paddles[i];
        if (i == Input::paddles.size())
            Input::paddles.emplace_back(p.leftKeys, p.rightKeys, p.facing, p.usesAccelerometer);
        Paddle& paddle = Input::paddles[i];
        paddle.leftKeys = p.leftKeys;
        paddle.rightKeys = p.rightKeys;
        paddle.usesAccelerometer = p.usesAccelerometer;
        paddle.digitalSmoothed = p.digitalSmoothed;
        paddle.output = p.output;
        paddle.facing = p.facing;
        paddle.pad = p.pad;
    }
    // The same keys as saved (the usual case): the map's nodes are kept and only the values
    // change.
    const bool sameKeys =
        Input::keyStates.size() == s.keyStates.size() &&
        std::equal(Input::keyStates.begin(), Input::keyStates.end(), s.keyStates.begin(),
                   [](const auto& held, const auto& saved) { return held.first == saved.first; });
    if (sameKeys) {
        auto saved = s.keyStates.begin();
        for (auto& held : Input::keyStates)
            held.second = (saved++)->second;
    } else {
        Input::keyStates.clear();
        Input::keyStates.insert(s.keyStates.begin(), s.keyStates.end());
    }

    for (std::size_t i = 0; i < Beeper::sounds.size() && i < s.effectOrders.size(); ++i) {
        // A list whose variants differ from the saved ones (another machine's files) keeps its
        // order: it only decides which variant sounds.
        if (Beeper::sounds[i])
            Beeper::sounds[i]->restoreOrder(s.effectOrders[i]);
    }
    if (musicChoice(Music::desiredSound) != s.music) {
        switch (s.music) {
        case MusicChoice::Silent:
            Music::stop();
            Music::init();
            break;
        case MusicChoice::Match:
            Music::playImmediate(Game::gameMusic);
            break;
        case MusicChoice::Title:
            Music::playImmediate(Game::menuMusic);
            break;
        case MusicChoice::Other: // no track of the game's: nothing to go back to
            break;
        }
    }
    // Last: nothing above may take a number from the restored stream.
    restoreRandomState(s.random);
}

void MatchSnapshot::restoreParticles(Game& game) const {
    const ParticlesState& p = state_.particles;
    RestoreScratch& scratch = restoreScratch();
    scratch.clear();
    scratch.collect(game.trails);
    scratch.collect(game.sparkles);

    for (const SparkleOwner& owner : p.owners) {
        if (owner.listed >= 0 && index(owner.listed) < game.heroes.size()) {
            scratch.owners.push_back(game.heroes[index(owner.listed)]);
        } else if (owner.departed >= 0 && index(owner.departed) < state_.departed.size()) {
            scratch.owners.push_back(makeHero(state_.departed[index(owner.departed)]));
        } else {
            auto point = std::make_shared<Entity>();
            point->x = owner.x;
            point->y = owner.y;
            scratch.owners.push_back(std::move(point));
        }
    }

    std::array<std::size_t, kParticleKinds> taken{};
    const auto restoreList = [&](std::vector<std::unique_ptr<TrailParticle>>& list,
                                 const std::vector<ParticleKind>& kinds) {
        list.reserve(kinds.size());
        for (const ParticleKind kind : kinds) {
            if (slot(kind) >= kParticleKinds)
                continue;
            const std::size_t i = taken[slot(kind)]++;
            // A kind's records run short only in a state put together elsewhere: the particles
            // without one are left out.
            switch (kind) {
            case ParticleKind::Plain:
                if (i < p.plain.size())
                    loadBase(p.plain[i], scratch.take<TrailParticle>(kind, list));
                break;
            case ParticleKind::Rain:
                if (i < p.rain.size())
                    loadMoving(p.rain[i], scratch.take<RainParticle>(kind, list));
                break;
            case ParticleKind::Rainbow:
                if (i < p.rainbow.size()) {
                    auto& rainbow = scratch.take<RainbowParticle>(kind, list);
                    loadBase(p.rainbow[i], rainbow);
                    rainbow.frame = p.rainbow[i].frame;
                }
                break;
            case ParticleKind::Ascend:
                if (i < p.ascend.size()) {
                    auto& ascend = scratch.take<AscendParticle>(kind, list);
                    loadBase(p.ascend[i], ascend);
                    ascend.frame = p.ascend[i].frame;
                }
                break;
            case ParticleKind::Win:
                if (i < p.win.size()) {
                    auto& win = scratch.take<WinParticle>(kind, list);
                    loadMoving(p.win[i], win);
                    win.rainbowCooldown = p.win[i].rainbowCooldown;
                    win.sparkleCooldown = p.win[i].sparkleCooldown;
                }
                break;
            case ParticleKind::MacGuffinDrop:
                if (i < p.drop.size())
                    loadMoving(p.drop[i], scratch.take<MacGuffinDropParticle>(kind, list));
                break;
            case ParticleKind::HeroSparkle:
                if (i < p.heroSparkle.size()) {
                    auto& sparkle = scratch.take<HeroSparkle>(kind, list);
                    loadBase(p.heroSparkle[i], sparkle);
                    const std::int32_t owner = p.heroSparkle[i].owner;
                    if (owner >= 0 && index(owner) < scratch.owners.size())
                        sparkle.owner = scratch.owners[index(owner)];
                    else
                        sparkle.owner = nullptr;
                }
                break;
            case ParticleKind::SimpleSparkle:
                if (i < p.simpleSparkle.size())
                    loadMoving(p.simpleSparkle[i], scratch.take<SimpleSparkle>(kind, list));
                break;
            }
        }
    };
    restoreList(game.trails, p.trailKinds);
    restoreList(game.sparkles, p.sparkleKinds);
    // The spare objects left over go now, with the owners they held.
    scratch.clear();
}

} // namespace zindle
