// libFuzzer target for the match state reader: any bytes either parse or are refused with a
// MatchStateError; never a crash, a hang or memory beyond the format's bounds. What parses is
// canonical: written again, it gives the very same bytes.
#include "match/match_state_codec.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const zindle::MatchState state = zindle::readMatchState(std::span(data, size));
        std::vector<std::uint8_t> again;
        zindle::writeMatchState(state, again);
        if (again.size() != size || !std::equal(again.begin(), again.end(), data))
            __builtin_trap();
    } catch (const zindle::MatchStateError&) {
    }
    return 0;
}
