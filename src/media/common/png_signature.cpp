// Recognises PNG data by its signature: shared by the libpng decoder (desktop and headless) and
// the browser's, so that both refuse other formats by the same rule.
#include "media/common/png_decode.h"

#include <cstring>

namespace zindle {

namespace {
constexpr std::uint8_t kPngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
} // namespace

bool isPng(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= sizeof kPngSignature &&
           std::memcmp(bytes.data(), kPngSignature, sizeof kPngSignature) == 0;
}

} // namespace zindle
