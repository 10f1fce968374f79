// The state checksum, taken over a captured state: each record's fields in the order of its
// list (state_fields.h), each particle tagged with its kind, mixed word by word.
#include "match/state_checksum.h"

#include "match/match_snapshot.h"
#include "match/state_hasher.h"

#include <array>
#include <type_traits>

namespace zindle {
namespace {

template <class T> std::size_t index(T i) {
    return static_cast<std::size_t>(i);
}

template <class S> void hashRecords(StateHasher& h, const std::vector<S>& records) {
    h.integer(static_cast<std::int64_t>(records.size()));
    for (const S& record : records)
        StateFields<S>::visit(h, record);
}

// Fixed tags for the particle kinds, one above the kind's number (0 is no kind).
void hashList(StateHasher& h, const ParticlesState& p, const std::vector<ParticleKind>& kinds,
              std::array<std::size_t, kParticleKinds>& next) {
    h.integer(static_cast<std::int64_t>(kinds.size()));
    for (const ParticleKind kind : kinds) {
        if (static_cast<std::size_t>(kind) >= kParticleKinds)
            continue;
        const std::size_t i = next[static_cast<std::size_t>(kind)]++;
        withParticleKind(p, kind, [&](auto, const auto& records) {
            if (i >= records.size())
                return;
            const auto& record = records[i];
            using Record = std::remove_cvref_t<decltype(record)>;
            h.integer(static_cast<std::int64_t>(kind) + 1);
            if constexpr (!std::is_same_v<Record, ParticleState>)
                StateFields<Record>::visit(h, record);
            StateFields<ParticleState>::visit(h, static_cast<const ParticleState&>(record));
        });
    }
}

} // namespace

void StateHasher::operator()(const Link& link, std::int32_t v) {
    if (link.to != LinkTo::SparkleOwners) {
        integer(v);
        return;
    }
    // An index out of range (a state from elsewhere) restores as no owner.
    const auto& owners = state_.particles.owners;
    const bool owned = v >= 0 && index(v) < owners.size();
    flag(owned);
    if (!owned)
        return;
    const SparkleOwner& owner = owners[index(v)];
    double x = owner.x;
    double y = owner.y;
    if (owner.listed >= 0 && index(owner.listed) < state_.heroes.size()) {
        x = state_.heroes[index(owner.listed)].x;
        y = state_.heroes[index(owner.listed)].y;
    } else if (owner.departed >= 0 && index(owner.departed) < state_.departed.size()) {
        x = state_.departed[index(owner.departed)].x;
        y = state_.departed[index(owner.departed)].y;
    }
    number(x);
    number(y);
}

std::uint64_t stateChecksum(const MatchState& s) {
    StateHasher h(s);
    BoardFields::visit(h, s);
    for (bool ai : s.aiFlags)
        h.flag(ai);
    TallyFields::visit(h, s);

    hashRecords(h, s.heroes);
    hashRecords(h, s.clouds);
    h.flag(s.hasMacGuffin);
    if (s.hasMacGuffin) {
        StateFields<MacGuffinState>::visit(h, s.macGuffin);
        hashRecords(h, s.macGuffin.flares);
    }
    std::array<std::size_t, kParticleKinds> next{};
    hashList(h, s.particles, s.particles.trailKinds, next);
    hashList(h, s.particles, s.particles.sparkleKinds, next);
    hashRecords(h, s.paddles);
    // In key order, as the game's map keeps them: the same keys in the same order everywhere.
    for (const auto& [key, held] : s.keyStates) {
        if (held)
            h.integer(key);
    }
    h.integer(static_cast<std::int64_t>(s.random.draws));
    return h.result();
}

std::uint64_t stateChecksum(const Game& game) {
    thread_local MatchSnapshot snapshot;
    snapshot.capture(game);
    return stateChecksum(snapshot.state());
}

} // namespace zindle
