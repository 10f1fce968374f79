// Seat inputs from live records and back: every peer turns a seat's inputs into the same
// records, so the game sees one seat the same way whichever peer it plays on.
#include "online/seat_records.h"

#include "framework/keyboard.h"
#include "input/input.h"
#include "input/key_code_of.h"

#include <algorithm>
#include <cmath>

namespace zindle::net {

namespace {

constexpr int kKeysPerPlayer = Input::P2LEFT - Input::P1LEFT;

// The key codes of a seat as the game binds them (its one table, in Input): left, right,
// start, computer toggle.
struct SeatKeys {
    int left, right, start, computer;
};
SeatKeys seatKeys(int seat) {
    const int first = Input::P1LEFT + seat * kKeysPerPlayer;
    return {keyCodeOf(first), keyCodeOf(first + 1), keyCodeOf(first + 2),
            keyCodeOf(Input::P1AI + seat)};
}

bool validPlayer(int player) {
    return player >= 0 && player < kSeats;
}

InputRecord keyRecord(int code, bool down, std::uint8_t modifiers = 0) {
    InputRecord r;
    r.kind = down ? InputRecord::Kind::KeyDown : InputRecord::Kind::KeyUp;
    r.code = code;
    r.modifiers = modifiers;
    return r;
}

} // namespace

void LocalInputTracker::record(const InputRecord& record) {
    using Kind = InputRecord::Kind;
    switch (record.kind) {
    case Kind::KeyDown:
    case Kind::KeyUp: {
        const bool down = record.kind == Kind::KeyDown;
        const int key = Input::translateKey(record.code);
        if (key >= Input::P1LEFT && key <= Input::P4START) {
            const int player = key / kKeysPerPlayer;
            Held& held = keys_[static_cast<std::size_t>(player)];
            switch (key % kKeysPerPlayer) {
            case 0:
                held.left = down;
                break;
            case 1:
                held.right = down;
                break;
            default:
                held.start = down;
                break;
            }
            refresh(player);
        } else if (key >= Input::P1AI && key <= Input::P4AI && down &&
                   (record.modifiers & InputRecord::kCtrl)) {
            // Two toggles within one tick cancel out, as they would in the game.
            inputs_[static_cast<std::size_t>(key - Input::P1AI)].events ^=
                SeatInput::kToggleComputer;
        }
        break;
    }
    case Kind::Axis:
        if (validPlayer(record.code))
            inputs_[static_cast<std::size_t>(record.code)].stick = quantiseStick(record.value);
        break;
    case Kind::ButtonDown:
    case Kind::ButtonUp:
        if (validPlayer(record.code)) {
            keys_[static_cast<std::size_t>(record.code)].padStart = record.kind == Kind::ButtonDown;
            refresh(record.code);
        }
        break;
    }
}

void LocalInputTracker::refresh(int player) {
    const Held& h = keys_[static_cast<std::size_t>(player)];
    SeatInput& in = inputs_[static_cast<std::size_t>(player)];
    in.held = static_cast<std::uint8_t>((h.left ? SeatInput::kLeft : 0) |
                                        (h.right ? SeatInput::kRight : 0) |
                                        (h.start || h.padStart ? SeatInput::kStart : 0));
}

SeatInput LocalInputTracker::take(int localPlayer) {
    if (!validPlayer(localPlayer))
        return {};
    SeatInput& in = inputs_[static_cast<std::size_t>(localPlayer)];
    const SeatInput out = in;
    in.events = 0;
    return out;
}

const SeatInput& LocalInputTracker::peek(int localPlayer) const {
    static const SeatInput none{};
    return validPlayer(localPlayer) ? inputs_[static_cast<std::size_t>(localPlayer)] : none;
}

std::vector<InputRecord> seatRecords(int seat, const SeatInput& before, const SeatInput& now) {
    std::vector<InputRecord> out;
    if (!validPlayer(seat))
        return out;
    const SeatKeys keys = seatKeys(seat);
    const std::pair<std::uint8_t, int> heldKeys[] = {{SeatInput::kLeft, keys.left},
                                                     {SeatInput::kRight, keys.right},
                                                     {SeatInput::kStart, keys.start}};
    for (const auto& [bit, code] : heldKeys) {
        const bool was = (before.held & bit) != 0;
        const bool is = (now.held & bit) != 0;
        if (was != is)
            out.push_back(keyRecord(code, is));
    }
    if (before.stick != now.stick) {
        InputRecord axis;
        axis.kind = InputRecord::Kind::Axis;
        axis.code = seat;
        axis.value = stickValue(now.stick);
        out.push_back(axis);
    }
    if (now.events & SeatInput::kToggleComputer) {
        out.push_back(keyRecord(keys.computer, true, InputRecord::kCtrl));
        out.push_back(keyRecord(keys.computer, false, InputRecord::kCtrl));
    }
    return out;
}

} // namespace zindle::net
