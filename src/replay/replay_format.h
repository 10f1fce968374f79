#pragma once
// The replay file: a signature, a header, then blocks written as the match goes (one about
// every second), each with its length and CRC-32 so that a damaged file is told from a short
// one. Blocks hold tokens: runs of frames, the inputs before a frame, checksums, the end.
// Compact without a compressor, so that every build (the browser's too) reads it alike.
//
//   file    = signature(8) version(u16) headerLength(u16) header headerCrc(u32) block*
//   header  = seed(u64) date(i64) joinFrame(u32) gameVersion(u8 n, n bytes) build(u8 n, n bytes)
//             [flags(u8) [drawingSeed(u64)]]          (format 3 on)
//   block   = length(u32) crc(u32) token*          (little-endian; whole tokens only)
#include "match/match_state_bounds.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace zindle::replay_format {

inline constexpr std::array<std::uint8_t, 8> kSignature{0x89, 'Z', 'V', 'P', 'R', 'P', 'L', '\n'};
// 2 added the stick tokens that extrapolate a device's last three values; 3 the match states
// that an online round starts from, and drawing's own random stream; 4 begins a local match
// with the whole match state at its first join (join frame 0) instead of every frame since the
// game started, so that a match after hours of play is as quick to watch as any. The tokens
// are those of 3; 1 to 3 are still read.
inline constexpr std::uint16_t kVersion = 4;
inline constexpr std::uint16_t kFirstStateVersion = 3;
// Header flags: drawing took its numbers from a stream of its own, seeded by drawingSeed.
inline constexpr std::uint8_t kDrawingOwnStream = 0x01;

inline constexpr int kStepsPerChecksum = 300; // one second of steps
inline constexpr int kNominalSteps = 5;       // steps of a frame at 60 frames a second
inline constexpr int kMaxStepsPerFrame = 61;  // Main::STEP_LIMIT: no frame runs more

// Tokens. Frames with 4, 5 or 6 steps and no inputs (nearly all of them) go in one byte.
inline constexpr std::uint8_t kRunOf4 = 0x40; // | (count - 1), count 1 to 64
inline constexpr std::uint8_t kRunOf5 = 0x80; // | (count - 1)
inline constexpr std::uint8_t kRunOf6 = 0xC0; // | (count - 1)
inline constexpr std::uint8_t kShortRunMask = 0x3F;
inline constexpr std::uint32_t kShortRunMax = 64;
inline constexpr std::uint8_t kRun = 0x01;     // varint (count - 1), varint steps
inline constexpr std::uint8_t kKeyDown = 0x08; // | modifiers; zigzag varint code
inline constexpr std::uint8_t kKeyUp = 0x10;   // | modifiers; zigzag varint code
inline constexpr std::uint8_t kModifierMask = 0x07;
// zigzag device, zigzag change of the native value from the device's last one (from 0): a
// stick that moves smoothly costs two or three bytes an event.
inline constexpr std::uint8_t kAxis = 0x18;
inline constexpr std::uint8_t kAxisExact = 0x19;  // zigzag device, the value's 8 bytes
inline constexpr std::uint8_t kButtonDown = 0x1A; // zigzag device, zigzag button
inline constexpr std::uint8_t kButtonUp = 0x1B;
// Format 2: a stick numbered 0 to 7 in the token, then the zigzag difference between its
// native value and 3a - 3b + c, where a, b, c are its last three (from 0): a smooth sweep
// changes its second difference slowly, so most events cost two bytes. The second form
// also ends a frame of kNominalSteps, which is where most stick events fall.
inline constexpr std::uint8_t kAxisCurve = 0x28;          // | device
inline constexpr std::uint8_t kAxisCurveThenFrame = 0x30; // | device
inline constexpr std::uint8_t kCurveDeviceMask = 0x07;
inline constexpr std::uint16_t kFirstCurveVersion = 2;
inline constexpr std::uint8_t kChecksum = 0x20; // 8 bytes, after the frame that reached it
inline constexpr std::uint8_t kEnd = 0x3F;      // the match is over; nothing may follow
// Format 3: varint n, then n bytes of a whole match state that replaces the game's before the
// next frame (an online round starts from the leading peer's state, not from the seed).
inline constexpr std::uint8_t kState = 0x21;

// A stick's native value n became the steering value max(-1, n / 32767).
inline constexpr double kAxisFullScale = 32767;

// Bounds a reader holds any file to before it allocates or simulates.
inline constexpr std::size_t kMaxFileBytes = 32u << 20;
// The largest state a game can be in, with a second of frames beside it in its block.
inline constexpr std::size_t kMaxStateBytes = kMaxMatchStateBytes;
inline constexpr std::size_t kMaxBlockBytes = kMaxStateBytes + (1u << 20);
inline constexpr std::uint64_t kMaxSteps = 12ull * 3600 * 300;         // twelve hours of game time
inline constexpr std::uint64_t kMaxFrames = kMaxSteps / kNominalSteps; // 60 a second
inline constexpr std::size_t kMaxInputs = 4'000'000;

} // namespace zindle::replay_format
