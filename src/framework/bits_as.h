#pragma once
// A value's bits read as another type of the same size: what std::bit_cast does, which
// Emscripten's C++ library lacks. Checksums and replay files hash and store doubles by their bits.
#include <cstring>

namespace zindle {

template <class To, class From> To bitsAs(const From& from) {
    static_assert(sizeof(To) == sizeof(From));
    To to;
    std::memcpy(&to, &from, sizeof to);
    return to;
}

} // namespace zindle
