// Capture copies every object into vectors of values kept from one capture to the next; restore
// assigns those values back into the game's own objects where it has them of the right kind,
// so that steady rollback costs copies, not allocations.
#include "match/match_snapshot.h"

#include "effects/mac_guffin.h"
#include "input/input.h"
#include "sound/beeper.h"
#include "sound/music.h"

#include <algorithm>
#include <cstddef>

namespace zindle {

namespace {

// Writes value at position used of values, reusing the element already there, and counts it.
template <class T> void put(std::vector<T>& values, std::size_t& used, const T& value) {
    if (used < values.size())
        values[used] = value;
    else
        values.push_back(value);
    ++used;
}

template <class T> void keepFirst(std::vector<T>& values, std::size_t n) {
    if (values.size() > n)
        values.erase(values.begin() + static_cast<std::ptrdiff_t>(n), values.end());
}

// Copies the list of values into list of owned objects, assigning into the objects list
// already has and making new ones for the rest.
template <class T>
void restoreOwned(std::vector<std::unique_ptr<T>>& list, const std::vector<T>& values) {
    keepFirst(list, values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i < list.size())
            *list[i] = values[i];
        else
            list.push_back(std::make_unique<T>(values[i]));
    }
}

std::size_t slot(ParticleKind kind) {
    return static_cast<std::size_t>(kind);
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
    // A spare object of kind T, or a new one copied from value.
    template <class T> std::unique_ptr<TrailParticle> take(ParticleKind kind, const T& value) {
        const std::size_t k = slot(kind);
        if (spareUsed[k] < spare[k].size()) {
            std::unique_ptr<TrailParticle> reused = std::move(spare[k][spareUsed[k]++]);
            static_cast<T&>(*reused) = value;
            return reused;
        }
        return std::make_unique<T>(value);
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
    captured_ = true;
    boardTime_ = game.boardTime;
    shake_ = game.shake;
    titleAlpha_ = game.titleAlpha;
    gameTimeout_ = game.gameTimeout;
    slomo_ = game.slomo;
    lastWinner_ = game.lastWinner;
    tally_ = game.tally;
    aiFlags_ = game.aiFlags;

    std::size_t used = 0;
    for (const auto& hero : game.heroes)
        put(heroes_, used, *hero);
    keepFirst(heroes_, used);
    used = 0;
    for (const auto& cloud : game.clouds)
        put(clouds_, used, *cloud);
    keepFirst(clouds_, used);

    hasMacGuffin_ = game.macGuffin != nullptr;
    used = 0;
    if (const MacGuffin* mg = game.macGuffin.get()) {
        macGuffinX_ = mg->x;
        macGuffinY_ = mg->y;
        macGuffinState_ = mg->state;
        macGuffinCooldown_ = mg->stateCooldown;
        for (const auto& flare : mg->flares) {
            put(flares_, used, *flare);
            flares_[used - 1].host = nullptr;
        }
    }
    keepFirst(flares_, used);

    captureParticles(game);

    paddles_ = Input::paddles;
    keyStates_.clear();
    for (const auto& key : Input::keyStates)
        keyStates_.push_back(key);
    random_ = randomState();
    effectOrders_.resize(Beeper::sounds.size());
    for (std::size_t i = 0; i < Beeper::sounds.size(); ++i) {
        if (Beeper::sounds[i])
            Beeper::sounds[i]->captureOrder(effectOrders_[i]);
        else
            effectOrders_[i].clear();
    }
    musicTrack_ = Music::desiredSound;
}

void MatchSnapshot::captureParticles(const Game& game) {
    Particles& p = particles_;
    std::array<std::size_t, kParticleKinds> used{};
    std::size_t departedUsed = 0;
    p.sparkleOwner.clear();
    p.owners.clear();
    // The entity behind each entry of p.owners; sparkles of one owner mostly come together, so
    // the last one found is tried first.
    thread_local std::vector<const Entity*> ownerKeys;
    ownerKeys.clear();
    std::int32_t lastOwner = -1;

    const auto ownerIndex = [&](const Entity* owner) -> std::int32_t {
        if (owner == nullptr)
            return -1;
        if (lastOwner >= 0 && ownerKeys[static_cast<std::size_t>(lastOwner)] == owner)
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
                put(departed_, departedUsed, *hero);
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
                put(p.plain, n, *particle);
                break;
            case ParticleKind::Rain:
                put(p.rain, n, static_cast<const RainParticle&>(*particle));
                break;
            case ParticleKind::Rainbow:
                put(p.rainbow, n, static_cast<const RainbowParticle&>(*particle));
                break;
            case ParticleKind::Ascend:
                put(p.ascend, n, static_cast<const AscendParticle&>(*particle));
                break;
            case ParticleKind::Win:
                put(p.win, n, static_cast<const WinParticle&>(*particle));
                break;
            case ParticleKind::MacGuffinDrop:
                put(p.drop, n, static_cast<const MacGuffinDropParticle&>(*particle));
                break;
            case ParticleKind::HeroSparkle: {
                const auto& sparkle = static_cast<const HeroSparkle&>(*particle);
                // Only the particle's own fields: the owner is kept as an index, and copying
                // the pointer would keep the live hero alive inside the snapshot.
                if (n < p.heroSparkle.size()) {
                    static_cast<TrailParticle&>(p.heroSparkle[n]) = sparkle;
                } else {
                    p.heroSparkle.push_back(sparkle);
                    p.heroSparkle.back().owner.reset();
                }
                ++n;
                p.sparkleOwner.push_back(ownerIndex(sparkle.owner.get()));
                break;
            }
            case ParticleKind::SimpleSparkle:
                put(p.simpleSparkle, n, static_cast<const SimpleSparkle&>(*particle));
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
    keepFirst(departed_, departedUsed);
}

void MatchSnapshot::restore(Game& game) const {
    if (!captured_)
        return;
    game.boardTime = boardTime_;
    game.shake = shake_;
    game.titleAlpha = titleAlpha_;
    game.gameTimeout = gameTimeout_;
    game.slomo = slomo_;
    game.lastWinner = lastWinner_;
    game.tally = tally_;
    game.aiFlags = aiFlags_;

    // The game's hero objects take the saved values in place (a hero is not copied whole: the
    // assignment leaves its shared ownership alone).
    keepFirst(game.heroes, heroes_.size());
    for (std::size_t i = 0; i < heroes_.size(); ++i) {
        if (i < game.heroes.size())
            static_cast<Hero&>(*game.heroes[i]) = heroes_[i];
        else
            game.heroes.push_back(std::make_shared<Hero>(heroes_[i]));
    }
    restoreOwned(game.clouds, clouds_);

    if (!hasMacGuffin_) {
        game.macGuffin.reset();
    } else {
        if (!game.macGuffin)
            game.macGuffin = std::make_unique<MacGuffin>(MacGuffin::Unplaced{});
        MacGuffin& mg = *game.macGuffin;
        mg.x = macGuffinX_;
        mg.y = macGuffinY_;
        mg.state = macGuffinState_;
        mg.stateCooldown = macGuffinCooldown_;
        restoreOwned(mg.flares, flares_);
        for (auto& flare : mg.flares)
            flare->host = &mg;
    }

    restoreParticles(game);

    Input::paddles = paddles_;
    // The same keys as saved (the usual case): the map's nodes are kept and only the values
    // change.
    const bool sameKeys =
        Input::keyStates.size() == keyStates_.size() &&
        std::equal(Input::keyStates.begin(), Input::keyStates.end(), keyStates_.begin(),
                   [](const auto& held, const auto& saved) { return held.first == saved.first; });
    if (sameKeys) {
        auto saved = keyStates_.begin();
        for (auto& held : Input::keyStates)
            held.second = (saved++)->second;
    } else {
        Input::keyStates.clear();
        Input::keyStates.insert(keyStates_.begin(), keyStates_.end());
    }

    for (std::size_t i = 0; i < Beeper::sounds.size() && i < effectOrders_.size(); ++i) {
        // A list whose variants differ from the saved ones (another machine's files) keeps its
        // order: it only decides which variant sounds.
        if (Beeper::sounds[i])
            Beeper::sounds[i]->restoreOrder(effectOrders_[i]);
    }
    if (Music::desiredSound != musicTrack_) {
        if (musicTrack_) {
            Music::playImmediate(musicTrack_);
        } else {
            Music::stop();
            Music::init();
        }
    }
    // Last: nothing above may take a number from the restored stream.
    restoreRandomState(random_);
}

void MatchSnapshot::restoreParticles(Game& game) const {
    const Particles& p = particles_;
    RestoreScratch& scratch = restoreScratch();
    scratch.clear();
    scratch.collect(game.trails);
    scratch.collect(game.sparkles);

    for (const SparkleOwner& owner : p.owners) {
        if (owner.listed >= 0 && static_cast<std::size_t>(owner.listed) < game.heroes.size()) {
            scratch.owners.push_back(game.heroes[static_cast<std::size_t>(owner.listed)]);
        } else if (owner.departed >= 0 &&
                   static_cast<std::size_t>(owner.departed) < departed_.size()) {
            scratch.owners.push_back(
                std::make_shared<Hero>(departed_[static_cast<std::size_t>(owner.departed)]));
        } else {
            auto entity = std::make_shared<Entity>();
            entity->x = owner.x;
            entity->y = owner.y;
            scratch.owners.push_back(std::move(entity));
        }
    }

    std::array<std::size_t, kParticleKinds> next{};
    const auto restoreList = [&](std::vector<std::unique_ptr<TrailParticle>>& list,
                                 const std::vector<ParticleKind>& kinds) {
        list.reserve(kinds.size());
        for (const ParticleKind kind : kinds) {
            const std::size_t i = next[slot(kind)]++;
            switch (kind) {
            case ParticleKind::Plain:
                list.push_back(scratch.take(kind, p.plain[i]));
                break;
            case ParticleKind::Rain:
                list.push_back(scratch.take(kind, p.rain[i]));
                break;
            case ParticleKind::Rainbow:
                list.push_back(scratch.take(kind, p.rainbow[i]));
                break;
            case ParticleKind::Ascend:
                list.push_back(scratch.take(kind, p.ascend[i]));
                break;
            case ParticleKind::Win:
                list.push_back(scratch.take(kind, p.win[i]));
                break;
            case ParticleKind::MacGuffinDrop:
                list.push_back(scratch.take(kind, p.drop[i]));
                break;
            case ParticleKind::HeroSparkle: {
                auto particle = scratch.take(kind, p.heroSparkle[i]);
                const std::int32_t owner = p.sparkleOwner[i];
                static_cast<HeroSparkle&>(*particle).owner =
                    owner >= 0 ? scratch.owners[static_cast<std::size_t>(owner)] : nullptr;
                list.push_back(std::move(particle));
                break;
            }
            case ParticleKind::SimpleSparkle:
                list.push_back(scratch.take(kind, p.simpleSparkle[i]));
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
