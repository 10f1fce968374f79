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
#include "match/state_fields.h"
#include "sound/beeper.h"
#include "sound/music.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <memory>
#include <type_traits>

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
    copyFields<HeroState>(s, hero);
}

void load(const HeroState& s, Hero& hero) {
    copyFields<HeroState>(hero, s);
}

std::shared_ptr<Hero> makeHero(const HeroState& s) {
    auto hero = std::make_shared<Hero>(s.player, Hero::Unspawned{});
    load(s, *hero);
    return hero;
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
    BoardFields::visit(FieldCopier{}, s, game);
    TallyFields::visit(FieldCopier{}, s, game.tally);
    s.aiFlags = game.aiFlags;

    std::size_t used = 0;
    for (const auto& hero : game.heroes)
        save(*hero, next(s.heroes, used));
    keepFirst(s.heroes, used);

    used = 0;
    for (const auto& cloud : game.clouds)
        copyFields<CloudState>(next(s.clouds, used), *cloud);
    keepFirst(s.clouds, used);

    s.hasMacGuffin = game.macGuffin != nullptr;
    used = 0;
    if (const MacGuffin* mg = game.macGuffin.get()) {
        copyFields<MacGuffinState>(s.macGuffin, *mg);
        for (const auto& flare : mg->flares)
            copyFields<FlareState>(next(s.macGuffin.flares, used), *flare);
    }
    keepFirst(s.macGuffin.flares, used);

    captureParticles(game);

    used = 0;
    for (const Paddle& paddle : Input::paddles)
        copyFields<PaddleState>(next(s.paddles, used), paddle);
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
            withParticleKind(p, kind, [&](auto type, auto& records) {
                using Object = typename decltype(type)::type;
                const auto& object = static_cast<const Object&>(*particle);
                auto& record = next(records, used[slot(kind)]);
                copyFields<std::remove_reference_t<decltype(record)>>(record, object);
                if constexpr (std::is_same_v<Object, HeroSparkle>)
                    record.owner = ownerIndex(object.owner.get());
            });
        }
    };
    captureList(game.trails, p.trailKinds);
    captureList(game.sparkles, p.sparkleKinds);

    for (std::size_t k = 0; k < kParticleKinds; ++k)
        withParticleKind(p, static_cast<ParticleKind>(k),
                         [&](auto, auto& records) { keepFirst(records, used[k]); });
    keepFirst(state_.departed, departedUsed);
}

void MatchSnapshot::restore(Game& game) const {
    const MatchState& s = state_;
    if (!s.captured)
        return;
    BoardFields::visit(FieldCopier{}, game, s);
    TallyFields::visit(FieldCopier{}, game.tally, s);
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
        copyFields<CloudState>(*game.clouds[i], c);
    }

    if (!s.hasMacGuffin) {
        game.macGuffin.reset();
    } else {
        if (!game.macGuffin)
            game.macGuffin = std::make_unique<MacGuffin>(MacGuffin::Unplaced{});
        MacGuffin& mg = *game.macGuffin;
        copyFields<MacGuffinState>(mg, s.macGuffin);
        keepFirst(mg.flares, s.macGuffin.flares.size());
        for (std::size_t i = 0; i < s.macGuffin.flares.size(); ++i) {
            if (i == mg.flares.size())
                mg.flares.push_back(
                    std::make_unique<MacGuffinFlare>(mg, MacGuffinFlare::Unplaced{}));
            MacGuffinFlare& flare = *mg.flares[i];
            copyFields<FlareState>(flare, s.macGuffin.flares[i]);
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
        copyFields<PaddleState>(Input::paddles[i], p);
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
            withParticleKind(p, kind, [&](auto type, const auto& records) {
                using Object = typename decltype(type)::type;
                if (i >= records.size())
                    return;
                auto& object = scratch.take<Object>(kind, list);
                copyFields<std::remove_cvref_t<decltype(records[i])>>(object, records[i]);
                if constexpr (std::is_same_v<Object, HeroSparkle>) {
                    const std::int32_t owner = records[i].owner;
                    if (owner >= 0 && index(owner) < scratch.owners.size())
                        object.owner = scratch.owners[index(owner)];
                    else
                        object.owner = nullptr;
                }
            });
        }
    };
    restoreList(game.trails, p.trailKinds);
    restoreList(game.sparkles, p.sparkleKinds);
    // The spare objects left over go now, with the owners they held.
    scratch.clear();
}

} // namespace zindle
