// libFuzzer target for the peer message reader: any bytes either decode or are refused with a
// reason; what decodes must encode back to the very same bytes (one layout, one message).
#include "netcode/peer_message.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string error;
    const auto message = zindle::net::decodePeerMessage(std::span(data, size), error);
    if (!message) {
        if (error.empty())
            __builtin_trap();
        return 0;
    }
    const auto again = zindle::net::encodePeerMessage(*message);
    if (again.size() != size || !std::equal(again.begin(), again.end(), data))
        __builtin_trap();
    return 0;
}
