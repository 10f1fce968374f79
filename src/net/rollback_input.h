#pragma once
// A seat's input at one tick of an online match, as plain comparable data: what a peer sends,
// predicts and compares. Local players' InputRecords become seat inputs here, and a seat's
// change from one tick to the next becomes the InputRecords the game receives.
#include "input/input_record.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace zindle::net {

inline constexpr int kSeats = 4;
// The stick travels as a signed byte: the game only asks which side of half-way it is on, and a
// byte carries that (and more) exactly, so every peer feeds its game the very same value.
inline constexpr int kStickSteps = 127;

struct SeatInput {
    static constexpr std::uint8_t kLeft = 1;
    static constexpr std::uint8_t kRight = 2;
    static constexpr std::uint8_t kStart = 4;
    static constexpr std::uint8_t kHeldMask = kLeft | kRight | kStart;
    // Events happen once: the CTRL+digit that hands the seat to the computer or takes it back.
    static constexpr std::uint8_t kToggleComputer = 1;
    static constexpr std::uint8_t kEventMask = kToggleComputer;

    std::uint8_t held = 0;
    std::int8_t stick = 0; // -kStickSteps .. kStickSteps
    std::uint8_t events = 0;

    bool operator==(const SeatInput&) const = default;
    // The held part only: what a missing input is predicted from (an event is never repeated).
    SeatInput heldOnly() const { return {held, stick, 0}; }
};

using SeatInputs = std::array<SeatInput, kSeats>;

// The stick value as the paddle gets it from a quantised one, and the quantisation itself.
double stickValue(std::int8_t stick);
std::int8_t quantiseStick(double value);

// Which of this peer's local player numbers (0 to 3: the key set or joystick device) plays
// which seat of the room; a local player without a seat is not sent.
class SeatMap {
public:
    void assign(int localPlayer, int seat);
    void release(int localPlayer);
    std::optional<int> seatOf(int localPlayer) const;
    std::vector<int> seats() const;

private:
    std::array<int, kSeats> seatOfLocal_{-1, -1, -1, -1};
};

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
