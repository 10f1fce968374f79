#pragma once
// The whole state of a match as a value: the board, its heroes, clouds, MacGuffin and particles,
// the players' paddles and held keys, the random generator, and the sound bookkeeping that
// decides what plays next. Restoring it and stepping on gives exactly the steps that followed
// the capture, so a match can go back in time (rollback, seeking in a replay).
#include "match/match_state.h"

#include <utility>

namespace zindle {

class Game;

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
// Restore draws no random number and starts no effect; it switches the music (from the start
// of the track) only when the state asked for another track than the one asked for now.
//
// As bytes (another machine's state): writeMatchState(snapshot.state(), bytes) and
// MatchSnapshot(readMatchState(bytes)), in match_state_codec.h.
class MatchSnapshot {
public:
    MatchSnapshot() = default;
    // A state from elsewhere (bytes from another machine); restore copes with any contents.
    explicit MatchSnapshot(MatchState state) : state_(std::move(state)) {}

    void capture(const Game& game);
    void restore(Game& game) const;
    // Whether anything was ever captured; restoring an empty snapshot changes nothing.
    bool empty() const { return !state_.captured; }
    const MatchState& state() const { return state_; }

private:
    void captureParticles(const Game& game);
    void restoreParticles(Game& game) const;

    MatchState state_;
};

} // namespace zindle
