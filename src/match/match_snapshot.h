#pragma once
// The whole state of a match as a value: the board, its heroes, clouds, MacGuffin and particles,
// the players' paddles and held keys, the random generator, and the sound bookkeeping that
// decides what plays next. Restoring it and stepping on gives exactly the steps that followed
// the capture, so a match can go back in time (rollback, seeking in a replay).
#include "actors/cloud.h"
#include "actors/hero.h"
#include "effects/mac_guffin_flare.h"
#include "effects/particles.h"
#include "framework/random.h"
#include "input/paddle.h"
#include "match/game.h"

#include <array>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace zindle {

class Sound;

// Usage: snapshot.capture(game) saves; snapshot.restore(game) puts game (and the process-wide
// input, random and sound state) back as it was, whatever happened to it since. A snapshot
// keeps its memory from one capture to the next, so a ring of snapshots captured every step
// stops allocating once it has seen the largest state. Restore reuses the game's own objects
// of the same kinds and allocates only for what is missing. Copyable.
//
// What it holds is exact: every field by value, the order of every list, and the sharing between
// objects: a hero sparkle's owner is after a restore the very hero in game.heroes (or, for a
// hero that has left, one object shared by all its sparkles); flares sit on the restored
// MacGuffin. A random script set by tests is not part of the state and stays as it is.
class MatchSnapshot {
public:
    void capture(const Game& game);
    void restore(Game& game) const;
    // Whether anything was ever captured.
    bool empty() const { return !captured_; }

private:
    // Whom a hero sparkle follows.
    struct SparkleOwner {
        std::int32_t listed = -1;   // a hero in game.heroes, by position
        std::int32_t departed = -1; // a hero that has left, in departed_
        double x = 0;               // neither: a plain entity at (x, y)
        double y = 0;
    };
    struct Particles {
        std::vector<ParticleKind> trailKinds; // the lists' order, kind by kind
        std::vector<ParticleKind> sparkleKinds;
        // Each kind's particles by value, in the order they come in the lists.
        std::vector<TrailParticle> plain;
        std::vector<RainParticle> rain;
        std::vector<RainbowParticle> rainbow;
        std::vector<AscendParticle> ascend;
        std::vector<WinParticle> win;
        std::vector<MacGuffinDropParticle> drop;
        std::vector<HeroSparkle> heroSparkle; // owner left empty: see sparkleOwner
        std::vector<SimpleSparkle> simpleSparkle;
        std::vector<std::int32_t> sparkleOwner; // per hero sparkle: into owners, -1 for none
        std::vector<SparkleOwner> owners;
    };

    void captureParticles(const Game& game);
    void restoreParticles(Game& game) const;

    bool captured_ = false;
    // The board's own fields.
    double boardTime_ = 0;
    double shake_ = 0;
    double titleAlpha_ = 0;
    double gameTimeout_ = 0;
    double slomo_ = 0;
    int lastWinner_ = -1;
    Game::Tally tally_;
    std::vector<bool> aiFlags_;

    std::vector<Hero> heroes_;
    std::vector<Hero> departed_; // heroes gone from the game whose sparkles still follow them
    std::vector<Cloud> clouds_;
    bool hasMacGuffin_ = false;
    double macGuffinX_ = 0;
    double macGuffinY_ = 0;
    int macGuffinState_ = 0;
    double macGuffinCooldown_ = 0;
    std::vector<MacGuffinFlare> flares_; // host left null
    Particles particles_;

    std::vector<Paddle> paddles_;
    std::vector<std::pair<int, bool>> keyStates_;
    RandomState random_;
    std::vector<std::vector<std::uint8_t>> effectOrders_; // each effect list's variant order
    std::shared_ptr<Sound> musicTrack_;                   // the track last asked for
};

} // namespace zindle
