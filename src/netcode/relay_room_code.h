#pragma once
// Room codes: what a link carries to let a friend in. Sixty random bits from the operating
// system, written in 32 letters that cannot be mistaken for one another, behind one letter that
// names the relay holding the room, so a proxy in front of several relays can route by it.
#include "netcode/relay_protocol.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zindle::relay {

// No 0/O, no 1/I: a code read aloud or typed from a screen comes out right.
inline constexpr std::string_view kCodeAlphabet = "23456789ABCDEFGHJKLMNPQRSTUVWXYZ";
inline constexpr int kMaxShards = 32;
inline constexpr int kRandomBitsPerCode = 5 * (static_cast<int>(kRoomCodeLength) - 1);

// Fills the span with unpredictable bytes; throws std::runtime_error when the source fails.
using RandomSource = std::function<void(std::span<std::uint8_t>)>;
RandomSource systemRandomSource();

// A fresh code for a room on relay `shard` (0 to kMaxShards - 1).
RoomCodeText makeRoomCode(int shard, const RandomSource& random);

// The code in its canonical form (upper case), or nothing when the text is not a code.
std::optional<RoomCodeText> parseRoomCode(std::string_view text);

std::string toString(const RoomCodeText& code);

} // namespace zindle::relay
