#pragma once
// The variants of one sound effect, ordered from least to most recently played.
#include <cstdint>
#include <memory>
#include <span>
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
    // The current order as positions in the loading order, into order (its memory reused).
    void captureOrder(std::vector<std::uint8_t>& order) const;
    // Puts the variants in an order captureOrder gave. False, changing nothing, for anything
    // that is not a rearrangement of this list's variants.
    bool restoreOrder(std::span<const std::uint8_t> order);

    std::vector<std::shared_ptr<Sound>> sounds;

private:
    std::vector<std::shared_ptr<Sound>> loaded_;
};

} // namespace zindle
