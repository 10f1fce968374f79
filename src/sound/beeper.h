#pragma once
// The one way to play a sound effect: a category, a volume and the screen x that sets the pan.
#include "sound/sound_list.h"

#include <memory>
#include <vector>

namespace zindle {

class Beeper {
public:
    Beeper() = delete;

    // Loads all 35 effects.
    static void init();
    static void beep(int category, double volume, double x);
    // Every list back in its loading order, as at start-up.
    static void restoreOrder();

    static std::vector<std::unique_ptr<SoundList>> sounds;
};

} // namespace zindle
