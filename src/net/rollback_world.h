#pragma once
// The simulation a rollback session drives: the game in online play, small stand-ins in tests.
// The session decides which inputs each tick gets and when to go back; the world only applies,
// steps, keeps its saved states in numbered slots and says how it stands.
#include "net/rollback_input.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zindle::net {

class RollbackWorld {
public:
    virtual ~RollbackWorld() = default;

    // The inputs of tick, given the ones of the tick before (the game wants changes). replaying:
    // the tick is being simulated again after a rollback.
    virtual void applyInputs(std::uint64_t tick, const SeatInputs& before, const SeatInputs& now,
                             bool replaying) = 0;
    // One fixed step.
    virtual void step(bool replaying) = 0;
    // The state as it stands into slot, and back from it. A rollback to tick loads the slot
    // saved at its start; every tick after it is about to be simulated again.
    virtual void save(std::size_t slot) = 0;
    virtual void load(std::size_t slot, std::uint64_t tick) = 0;
    // The last load's re-simulation has caught up with the present.
    virtual void caughtUp() {}
    // The checksum of the state saved in slot.
    virtual std::uint64_t checksum(std::size_t slot) const = 0;
    // A slot's state as bytes for another peer, and such bytes into a slot: false (and nothing
    // changed) for bytes that are not a state.
    virtual std::vector<std::uint8_t> serialise(std::size_t slot) const = 0;
    virtual bool deserialise(std::size_t slot, std::span<const std::uint8_t> bytes) = 0;
    // Why the last deserialise refused its bytes, for the log.
    virtual std::string refusal() const { return "not a match state"; }
};

} // namespace zindle::net
