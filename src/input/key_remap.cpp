// Chosen keys to shipped keys. The media layer delivers letters as capitals; the lower-case
// codes the bindings also answer to are other keys (F1, the keypad), which a shipped letter that
// nobody holds any more must not leave steering.
#include "input/key_remap.h"

namespace zindle {

std::unordered_map<int, int> KeyRemap::map_;

namespace {
constexpr int kLowerCaseOffset = 32; // a lower-case letter's code is its capital's + 32

bool isCapital(int code) {
    return code >= Keyboard::A && code <= Keyboard::Z;
}

} // namespace

void KeyRemap::set(const KeyTable& chosen) {
    map_.clear();
    if (chosen == kDefaultKeys)
        return;
    // First every shipped key steers nobody; then each chosen key takes its shipped one's part
    // (which puts back the shipped keys that are still chosen, wherever they moved).
    for (const PlayerKeys& keys : kDefaultKeys) {
        for (int a = 0; a < PlayerKeys::kActions; ++a) {
            map_[keys[a]] = kUnbound;
            if (isCapital(keys[a]))
                map_[keys[a] + kLowerCaseOffset] = kUnbound;
        }
    }
    for (std::size_t p = 0; p < chosen.size(); ++p)
        for (int a = 0; a < PlayerKeys::kActions; ++a)
            map_[chosen[p][a]] = kDefaultKeys[p][a];
}

int KeyRemap::canonical(int code) {
    const auto it = map_.find(code);
    return it == map_.end() ? code : it->second;
}

} // namespace zindle
