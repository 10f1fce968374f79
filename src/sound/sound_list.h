#pragma once
// The variants of one sound effect, ordered from least to most recently played.
#include <memory>
#include <string>
#include <vector>

namespace zindle {

class Sound;

class SoundList {
public:
    // Loads "assets/" + name + n + ".wav" for n = 1..count. A variant that cannot be loaded is
    // reported with one line and left out.
    SoundList(const std::string& name, int count);
    virtual ~SoundList() = default;

    // Plays a variant from the front half at volume, panned by the screen position x.
    virtual void play(double volume, double x);
    // Back to the order they were loaded in, as at start-up (a replay that starts again).
    void restoreOrder() { sounds = loaded_; }

    std::vector<std::shared_ptr<Sound>> sounds;

private:
    std::vector<std::shared_ptr<Sound>> loaded_;
};

} // namespace zindle
