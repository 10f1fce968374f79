#pragma once
// The game's inputs and seat inputs: local players' InputRecords become seat inputs here, and a
// seat's change from one tick to the next becomes the InputRecords the game receives.
#include "input/input_record.h"
#include "netcode/seat_input.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace zindle::net {

// Follows this peer's live InputRecords into what each local player holds; the events since the
// last take() are handed out once.
class LocalInputTracker {
public:
    // Input::init() must have run: keys are translated with the game's own bindings.
    void record(const InputRecord& record);
    // The local player's input for the next tick; its events are cleared.
    SeatInput take(int localPlayer);
    const SeatInput& peek(int localPlayer) const;

private:
    struct Held {
        bool left = false, right = false, start = false, padStart = false;
    };
    std::array<Held, kSeats> keys_{};
    std::array<SeatInput, kSeats> inputs_{};
    void refresh(int player);
};

// The InputRecords that take seat from before to now, in an order that leaves the game exactly
// as the live keys would: held keys and the stick, then the computer toggle.
std::vector<InputRecord> seatRecords(int seat, const SeatInput& before, const SeatInput& now);

} // namespace zindle::net
