#pragma once
// A small deterministic world for rollback tests: every step folds the seats' held inputs and
// the computer toggles into a running hash, so any input applied to the wrong tick, or any step
// lost or repeated, changes every checksum after it.
#include "net/rollback_world.h"

#include <array>
#include <cstring>

namespace zindle::net {

class ToyWorld : public RollbackWorld {
public:
    struct State {
        std::uint64_t hash = 0x1234567;
        std::uint64_t steps = 0;
        SeatInputs held{};
        std::uint8_t computers = 0;
    };

    void applyInputs(std::uint64_t, const SeatInputs&, const SeatInputs& now, bool) override {
        for (int s = 0; s < kSeats; ++s) {
            state.held[s] = now[s].heldOnly();
            if (now[s].events & SeatInput::kToggleComputer)
                state.computers ^= static_cast<std::uint8_t>(1u << s);
        }
    }
    void step(bool replaying) override {
        replaying ? ++replayedSteps : ++liveSteps;
        std::uint64_t h = state.hash ^ (state.steps * 0x9E3779B97F4A7C15ull) ^ state.computers;
        for (const SeatInput& in : state.held)
            h = (h ^
                 (in.held | static_cast<std::uint64_t>(static_cast<std::uint8_t>(in.stick)) << 8)) *
                0x100000001B3ull;
        state.hash = h ^ (h >> 29);
        ++state.steps;
        if (corruptAtStep && state.steps == corruptAtStep)
            state.hash ^= 1; // a fault that only this peer has
        if (corruptEverySteps && state.steps % corruptEverySteps == 0)
            state.hash ^= 2; // a fault that comes back whatever state it starts from
    }
    void save(std::size_t slot) override { slots[slot] = state; }
    void load(std::size_t slot, std::uint64_t) override { state = slots[slot]; }
    std::uint64_t checksum(std::size_t slot) const override {
        return slots[slot].hash ^ slots[slot].steps;
    }
    std::vector<std::uint8_t> serialise(std::size_t slot) const override {
        std::vector<std::uint8_t> bytes(sizeof(State));
        std::memcpy(bytes.data(), &slots[slot], sizeof(State));
        return bytes;
    }
    bool deserialise(std::size_t slot, std::span<const std::uint8_t> bytes) override {
        if (bytes.size() != sizeof(State))
            return false;
        std::memcpy(&slots[slot], bytes.data(), sizeof(State));
        return true;
    }

    State state;
    std::array<State, kSnapshotSlots> slots{};
    std::uint64_t corruptAtStep = 0;
    std::uint64_t corruptEverySteps = 0;
    std::int64_t liveSteps = 0;
    std::int64_t replayedSteps = 0;
};

} // namespace zindle::net
