#pragma once
// Each state struct's fields, listed once. The list drives every walk over a state: the
// snapshot's copies between the game's objects and the state, the bytes, the checksum and
// zindle-sim's trace. A field added to a list is copied, sent, checked and traced; a field left
// out of the lists is none of these, so an object's field that the state lacks shows up at once
// as a snapshot that does not play the same, not as a desync nobody can see.
//
// A list is StateFields<S>::visit(v, objects...). With one object a visitor sees each field of
// it; with several (the game's object and its record) it sees the field of each, side by side,
// which is how the snapshot copies. Objects need only the members of the list by those names,
// so a Hero is visited with the HeroState list. A visitor takes three calls:
//   v(const Field&, T&... values)       a value: double, int, std::int64_t, bool, std::string or
//                                       std::vector<int>
//   v(Base<S>, objects...)              the fields of base record S, at this point of the list
//   v(const Link&, T&... values)        an index into another list of the state (the game holds
//                                       a pointer there); each walk resolves links its own way
#include "base/rules.h"
#include "effects/mac_guffin.h"
#include "effects/mac_guffin_flare.h"
#include "effects/particles.h"
#include "match/match_state.h"

#include <climits>
#include <cstdint>
#include <type_traits>

namespace zindle {

struct Field {
    const char* name;
    // In the checksum: everything that decides what happens next. Set-up that never changes in a
    // match (a paddle's keys) is left out.
    bool checked = true;
    // In zindle-sim's trace line.
    bool traced = true;
    // The trace line's order predates the lists: a field placed there after another one.
    const char* tracedAfter = nullptr;
    // What the bytes' reader accepts: the range of an integer, the most characters of a text or
    // entries of a list; and the words that name the field when it refuses one.
    int lowest = INT_MIN;
    int highest = INT_MAX;
    const char* what = nullptr;
};

// The lists an index can point into.
enum class LinkTo : std::uint8_t { Heroes, Departed, SparkleOwners };

struct Link {
    const char* name;
    LinkTo to;
    const char* what;
};

template <class S> struct Base {};

template <class S> struct StateFields;

// The board's timers and flags (on Game and on MatchState).
struct BoardFields {
    template <class V, class... S> static void visit(V&& v, S&... s) {
        v(Field{.name = "boardTime"}, s.boardTime...);
        v(Field{.name = "shake"}, s.shake...);
        v(Field{.name = "titleAlpha"}, s.titleAlpha...);
        v(Field{.name = "gameTimeout"}, s.gameTimeout...);
        v(Field{.name = "slomo", .tracedAfter = "shake"}, s.slomo...);
        v(Field{.name = "lastWinner",
                .traced = false,
                .lowest = -1,
                .highest = rules::kPlayers - 1,
                .what = "the last winner"},
          s.lastWinner...);
    }
};

// The game's count of catches, falls and wins (Game::tally, and flat on MatchState).
struct TallyFields {
    template <class V, class... S> static void visit(V&& v, S&... s) {
        v(Field{.name = "catches", .traced = false}, s.catches...);
        v(Field{.name = "falls", .traced = false}, s.falls...);
        v(Field{.name = "wins", .traced = false}, s.wins...);
    }
};

template <> struct StateFields<HeroState> {
    template <class V, class... S> static void visit(V&& v, S&... s) {
        v(Field{.name = "x"}, s.x...);
        v(Field{.name = "y"}, s.y...);
        v(Field{.name = "player",
                .lowest = 0,
                .highest = rules::kPlayers - 1,
                .what = "a hero's player"},
          s.player...);
        v(Field{.name = "lives"}, s.lives...);
        v(Field{.name = "facing"}, s.facing...);
        v(Field{.name = "dx"}, s.dx...);
        v(Field{.name = "dy"}, s.dy...);
        v(Field{.name = "invulnerable"}, s.invulnerable...);
        v(Field{.name = "hueDir"}, s.hueDir...);
        v(Field{.name = "spawnX"}, s.spawnX...);
        v(Field{.name = "spawnY"}, s.spawnY...);
        v(Field{.name = "score"}, s.score...);
        v(Field{.name = "highScore"}, s.highScore...);
        v(Field{.name = "hasRainbow"}, s.hasRainbow...);
        v(Field{.name = "rainbowCooldown"}, s.rainbowCooldown...);
        v(Field{.name = "sparkleCooldown"}, s.sparkleCooldown...);
        v(Field{.name = "hasCrown"}, s.hasCrown...);
        v(Field{.name = "crowniness"}, s.crowniness...);
        v(Field{.name = "aiThinkCooldown"}, s.aiThinkCooldown...);
        v(Field{.name = "aiDesiredDx"}, s.aiDesiredDx...);
    }
};

template <> struct StateFields<CloudState> {
    template <class V, class... S> static void visit(V&& v, S&... s) {
        v(Field{.name = "x"}, s.x...);
        v(Field{.name = "y"}, s.y...);
        v(Field{.name = "x0"}, s.x0...);
        v(Field{.name = "y0"}, s.y0...);
        v(Field{.name = "x1"}, s.x1...);
        v(Field{.name = "y1"}, s.y1...);
        v(Field{.name = "hitCooldown"}, s.hitCooldown...);
        v(Field{.name = "size"}, s.size...);
    }
};

// The MacGuffin's own fields; its flares are a list of their own.
template <> struct StateFields<MacGuffinState> {
    template <class V, class... S> static void visit(V&& v, S&... s) {
        v(Field{.name = "x"}, s.x...);
        v(Field{.name = "y"}, s.y...);
        v(Field{.name = "state",
                .lowest = 0,
                .highest = MacGuffin::STATE_EXITING,
                .what = "the MacGuffin's state"},
          s.state...);
        v(Field{.name = "stateCooldown"}, s.stateCooldown...);
    }
};

template <> struct StateFields<FlareState> {
    template <class V, class... S> static void visit(V&& v, S&... s) {
        v(Field{.name = "x"}, s.x...);
        v(Field{.name = "y"}, s.y...);
        v(Field{.name = "frame",
                .lowest = 0,
                .highest = MacGuffinFlare::FRAMES - 1,
                .what = "a flare's frame"},
          s.frame...);
        v(Field{.name = "frameCooldown"}, s.frameCooldown...);
    }
};

template <> struct StateFields<ParticleState> {
    template <class V, class... S> static void visit(V&& v, S&... s) {
        v(Field{.name = "x"}, s.x...);
        v(Field{.name = "y"}, s.y...);
        v(Field{.name = "life"}, s.life...);
        v(Field{.name = "initialLife"}, s.initialLife...);
    }
};

template <> struct StateFields<MovingParticleState> {
    template <class V, class... S> static void visit(V&& v, S&... s) {
        v(Base<ParticleState>{}, s...);
        v(Field{.name = "dx"}, s.dx...);
        v(Field{.name = "dy"}, s.dy...);
    }
};

template <> struct StateFields<PictureParticleState> {
    static constexpr int kLongestFrameName = 64;
    template <class V, class... S> static void visit(V&& v, S&... s) {
        v(Base<ParticleState>{}, s...);
        v(Field{.name = "frame", .highest = kLongestFrameName, .what = "a particle's picture"},
          s.frame...);
    }
};

template <> struct StateFields<WinParticleState> {
    template <class V, class... S> static void visit(V&& v, S&... s) {
        v(Base<MovingParticleState>{}, s...);
        v(Field{.name = "rainbowCooldown"}, s.rainbowCooldown...);
        v(Field{.name = "sparkleCooldown"}, s.sparkleCooldown...);
    }
};

template <> struct StateFields<HeroSparkleState> {
    template <class V, class... S> static void visit(V&& v, S&... s) {
        v(Base<ParticleState>{}, s...);
        v(Link{"owner", LinkTo::SparkleOwners, "a sparkle's owner"}, s.owner...);
    }
};

template <> struct StateFields<SparkleOwner> {
    template <class V, class... S> static void visit(V&& v, S&... s) {
        v(Link{"listed", LinkTo::Heroes, "a listed owner"}, s.listed...);
        v(Link{"departed", LinkTo::Departed, "a departed owner"}, s.departed...);
        v(Field{.name = "x"}, s.x...);
        v(Field{.name = "y"}, s.y...);
    }
};

template <> struct StateFields<PaddleState> {
    static constexpr int kMostKeys = 16;
    template <class V, class... S> static void visit(V&& v, S&... s) {
        v(Field{.name = "leftKeys", .checked = false, .highest = kMostKeys, .what = "paddle keys"},
          s.leftKeys...);
        v(Field{.name = "rightKeys", .checked = false, .highest = kMostKeys, .what = "paddle keys"},
          s.rightKeys...);
        v(Field{.name = "usesAccelerometer", .checked = false}, s.usesAccelerometer...);
        v(Field{.name = "digitalSmoothed"}, s.digitalSmoothed...);
        v(Field{.name = "output"}, s.output...);
        v(Field{.name = "facing"}, s.facing...);
        v(Field{.name = "pad"}, s.pad...);
    }
};

// Calls f(std::type_identity<the game's class of kind>, the records of kind in p) for walks that
// go through both particle lists kind by kind. A kind no game makes gets nothing.
template <class Particles, class F> void withParticleKind(Particles& p, ParticleKind kind, F&& f) {
    switch (kind) {
    case ParticleKind::Plain:
        return f(std::type_identity<TrailParticle>{}, p.plain);
    case ParticleKind::Rain:
        return f(std::type_identity<RainParticle>{}, p.rain);
    case ParticleKind::Rainbow:
        return f(std::type_identity<RainbowParticle>{}, p.rainbow);
    case ParticleKind::Ascend:
        return f(std::type_identity<AscendParticle>{}, p.ascend);
    case ParticleKind::Win:
        return f(std::type_identity<WinParticle>{}, p.win);
    case ParticleKind::MacGuffinDrop:
        return f(std::type_identity<MacGuffinDropParticle>{}, p.drop);
    case ParticleKind::HeroSparkle:
        return f(std::type_identity<HeroSparkle>{}, p.heroSparkle);
    case ParticleKind::SimpleSparkle:
        return f(std::type_identity<SimpleSparkle>{}, p.simpleSparkle);
    }
}

// The list of a record type, whatever its constness.
template <class Record> using FieldsOf = StateFields<std::remove_const_t<Record>>;

// Copies every field of a list from one object to another (a game's object and its record,
// either way). Links are left to the caller, which knows what they point at.
struct FieldCopier {
    template <class To, class From> void operator()(const Field&, To& to, const From& from) const {
        to = from;
    }
    template <class B, class To, class From>
    void operator()(Base<B>, To& to, const From& from) const {
        StateFields<B>::visit(*this, to, from);
    }
    template <class To, class From> void operator()(const Link&, To&, const From&) const {}
};

template <class S, class To, class From> void copyFields(To& to, const From& from) {
    StateFields<S>::visit(FieldCopier{}, to, from);
}

} // namespace zindle
