// The variants of one effect. Picking only from the front half of a list that is ordered from
// least to most recently played keeps the same variant from ever sounding twice in a row.
#include "sound/sound_list.h"

#include "framework/assets.h"
#include "framework/random.h"
#include "framework/sound.h"
#include "framework/sound_transform.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string_view>

namespace zindle {

namespace {
constexpr double kPickShare = 0.5;     // picks come from this front share of the list
constexpr double kScreenCentreX = 240; // px: an event here plays in the centre
constexpr double kPanHalfWidth = 240;  // px from the centre to a fully left or right pan
} // namespace

SoundList::SoundList(const std::string& name, int count) {
    for (int n = 1; n <= count; ++n) {
        const std::string id = "assets/" + name + std::to_string(n) + ".wav";
        try {
            // A null result (an id the catalogue lacks) has already been reported there.
            if (auto sound = Assets::getSound(id))
                sounds.push_back(std::move(sound));
        } catch (const SoundLoadError&) {
            // A broken or missing effect file costs that variant, not the game. The media layer
            // has already said which file and why, in one line; a second would only repeat it.
        }
    }
    loaded_ = sounds;
}

void SoundList::captureOrder(std::vector<std::uint8_t>& order) const {
    order.clear();
    for (const auto& sound : sounds) {
        // A list holds at most ten variants: a search is cheaper than keeping an index.
        const auto at = std::find(loaded_.begin(), loaded_.end(), sound);
        order.push_back(static_cast<std::uint8_t>(at - loaded_.begin()));
    }
}

bool SoundList::restoreOrder(std::span<const std::uint8_t> order) {
    if (order.size() != loaded_.size())
        return false;
    std::uint64_t seen = 0; // a list has far fewer than 64 variants
    for (std::uint8_t k : order) {
        if (k >= loaded_.size() || k >= 64 || (seen >> k & 1) != 0)
            return false;
        seen |= std::uint64_t{1} << k;
    }
    sounds.resize(order.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        sounds[i] = loaded_[order[i]];
    return true;
}

void SoundList::play(double volume, double x) {
    if (sounds.empty())
        return;
    const std::size_t n = sounds.size();
    const double pick = std::floor(random() * static_cast<double>(n) * kPickShare);
    // Guards against a scripted source that strays outside [0, 1) (NaN included).
    const std::size_t i = pick > 0 ? std::min(static_cast<std::size_t>(pick), n - 1) : 0;

    const double pan = std::clamp((x - kScreenCentreX) / kPanHalfWidth, -1.0, 1.0);
    const SoundTransform transform(volume, pan);
    sounds[i]->play(0, 0, &transform);

    // The variant just played goes to the back, behind every variant it can be picked after.
    std::rotate(sounds.begin() + static_cast<std::ptrdiff_t>(i),
                sounds.begin() + static_cast<std::ptrdiff_t>(i) + 1, sounds.end());
}

} // namespace zindle
