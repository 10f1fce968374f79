// Seat inputs and which local player sits where.
#include "netcode/seat_input.h"

#include <algorithm>
#include <cmath>

namespace zindle::net {

namespace {

bool validSeat(int seat) {
    return seat >= 0 && seat < kSeats;
}

} // namespace

double stickValue(std::int8_t stick) {
    return static_cast<double>(stick) / kStickSteps;
}

std::int8_t quantiseStick(double value) {
    if (!std::isfinite(value))
        return 0;
    const double clamped = std::clamp(value, -1.0, 1.0);
    return static_cast<std::int8_t>(std::lround(clamped * kStickSteps));
}

void SeatMap::assign(int localPlayer, int seat) {
    if (validSeat(localPlayer) && validSeat(seat))
        seatOfLocal_[static_cast<std::size_t>(localPlayer)] = seat;
}

void SeatMap::release(int localPlayer) {
    if (validSeat(localPlayer))
        seatOfLocal_[static_cast<std::size_t>(localPlayer)] = -1;
}

std::optional<int> SeatMap::seatOf(int localPlayer) const {
    if (!validSeat(localPlayer) || seatOfLocal_[static_cast<std::size_t>(localPlayer)] < 0)
        return std::nullopt;
    return seatOfLocal_[static_cast<std::size_t>(localPlayer)];
}

std::vector<int> SeatMap::seats() const {
    std::vector<int> out;
    for (int seat : seatOfLocal_)
        if (seat >= 0)
            out.push_back(seat);
    return out;
}

} // namespace zindle::net
