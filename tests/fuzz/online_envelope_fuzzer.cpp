// libFuzzer target for what peers put inside relay messages: any bytes either decode as an
// envelope or are refused with a reason, what decodes encodes back to the same bytes, and the
// pieces of a round's start go through the assembler and the start's reader without harm.
#include "netcode/online_envelope.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zindle::net;
    std::string error;
    const auto envelope = decodeEnvelope(std::span(data, size), error);
    if (!envelope) {
        if (error.empty())
            __builtin_trap();
        return 0;
    }
    const auto again = encodeEnvelope(*envelope);
    if (again.size() != size || !std::equal(again.begin(), again.end(), data))
        __builtin_trap();
    if (isPiece(envelope->kind)) {
        static RoundStartAssembler assembler; // pieces from one run after another, as from a peer
        std::string why;
        if (const auto whole = assembler.add(*envelope, why)) {
            if (whole->size() > kMaxRoundStartBytes)
                __builtin_trap();
            (void)decodeRoundStart(*whole, why);
        }
    }
    (void)decodeRoundStart(envelope->body, error);
    return 0;
}
