#pragma once
// The game as a rollback world: seat inputs become the records Main delivers through its one
// path, steps are Main's steps, saved states are match snapshots. Re-simulated steps are not
// heard; a sound from an undone tick that the re-simulation does not ask for again fades out.
#include "match/match_snapshot.h"
#include "net/rollback_session.h"
#include "net/rollback_world.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace zindle {
class Game;
class Sound;
class SoundChannel;
} // namespace zindle

namespace zindle::net {

class RollbackGameWorld : public RollbackWorld {
public:
    // Main must be running game (its board, or what wraps it). Drawing gets its own random
    // stream from drawingSeed.
    RollbackGameWorld(Game& game, std::uint64_t drawingSeed);
    ~RollbackGameWorld() override;
    RollbackGameWorld(const RollbackGameWorld&) = delete;
    RollbackGameWorld& operator=(const RollbackGameWorld&) = delete;

    void applyInputs(std::uint64_t tick, const SeatInputs& before, const SeatInputs& now,
                     bool replaying) override;
    void step(bool replaying) override;
    void save(std::size_t slot) override;
    void load(std::size_t slot, std::uint64_t tick) override;
    void caughtUp() override;
    std::uint64_t checksum(std::size_t slot) const override;
    std::vector<std::uint8_t> serialise(std::size_t slot) const override;
    bool deserialise(std::size_t slot, std::span<const std::uint8_t> bytes) override;
    std::string refusal() const override { return refusal_; }

    // Several worlds in one process (tests) take turns with the one game: enter puts this
    // world's match in it, leave takes it out again.
    void enter();
    void leave();

    // Sounds faded because the tick that started them was undone (measurements, tests).
    std::int64_t soundsFaded() const { return soundsFaded_; }
    std::int64_t soundsKept() const { return soundsKept_; }

private:
    struct Played {
        std::uint64_t tick;
        const Sound* sound;
        std::weak_ptr<SoundChannel> channel;
    };
    struct Fading {
        std::weak_ptr<SoundChannel> channel;
        double volume;
        int stepsLeft;
    };
    void heard(const Sound& sound, const std::shared_ptr<SoundChannel>& channel);
    void fadeStep();

    std::array<MatchSnapshot, kSnapshotSlots> slots_;
    std::string refusal_;   // why the last deserialise refused its bytes
    MatchSnapshot current_; // this world's match while another is in the game
    std::uint64_t tick_ = 0;
    bool replaying_ = false;
    std::uint64_t undoneFrom_ = 0;
    std::vector<Played> played_; // heard effects of the ticks a rollback may undo
    std::vector<Played> asked_;  // what the re-simulation asked for
    std::vector<Fading> fading_;
    std::int64_t soundsFaded_ = 0;
    std::int64_t soundsKept_ = 0;
    Game& game_;
    std::uint64_t drawingSeed_;
};

} // namespace zindle::net
