#pragma once
// The players' chosen keys, turned back into the shipped ones before anything sees them. The
// game, its replays, clips and online peers all deal in the shipped codes, so a replay recorded
// with chosen keys plays the same on a machine with other keys (or none chosen).
#include "input/player_keys.h"

#include <unordered_map>

namespace zindle {

class KeyRemap {
public:
    KeyRemap() = delete;

    // A code no binding uses: a shipped key that nobody holds any more becomes it, so that it
    // steers nobody.
    static constexpr int kUnbound = 0;

    // Chosen must have twelve different codes (the settings refuse any other table).
    static void set(const KeyTable& chosen);
    // The code the game sees for a raw code: the shipped key of the same player and action, or
    // the code itself when no chosen key is involved.
    static int canonical(int code);

private:
    static std::unordered_map<int, int> map_;
};

} // namespace zindle
