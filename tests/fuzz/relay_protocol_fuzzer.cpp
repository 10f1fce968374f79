// libFuzzer target for the relay message reader: any bytes either decode or are refused, and what
// decodes writes back to the very same bytes, so reader and writer cannot drift apart. Batches go
// through the batch reader, which must hand back at most as many messages as bytes.
#include "netcode/relay_protocol.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const zindle::relay::Decoded decoded = zindle::relay::decode(bytes);
    if (decoded.message) {
        const zindle::relay::Bytes again = zindle::relay::encode(*decoded.message);
        if (again.size() != size || !std::equal(again.begin(), again.end(), bytes.begin()))
            __builtin_trap();
    }
    zindle::relay::DecodeError error = zindle::relay::DecodeError::Empty;
    if (const auto all = zindle::relay::decodeAll(bytes, error); all && all->size() > size)
        __builtin_trap();
    return 0;
}
