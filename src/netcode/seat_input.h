#pragma once
// A seat's input at one tick of an online match, as plain comparable data: what a peer sends,
// predicts and compares. Which game it drives is not known here.

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

} // namespace zindle::net
