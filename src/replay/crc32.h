#pragma once
// CRC-32 (the polynomial of zip and PNG), for the replay file's blocks.
#include <cstdint>
#include <span>

namespace zindle {

std::uint32_t crc32(std::span<const std::uint8_t> bytes);

} // namespace zindle
