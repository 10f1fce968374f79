// The game-wide entry point for sound effects: a category becomes its list of variants.
#include "sound/beeper.h"

#include "sound/sfxr_category.h"

#include <array>
#include <stdexcept>
#include <string>

namespace zindle {

std::vector<std::unique_ptr<SoundList>> Beeper::sounds;

namespace {

struct CategoryFiles {
    int category;
    const char* stem; // the files are "assets/" + stem + n + ".wav", n from 1
    int variants;
};

constexpr std::array<CategoryFiles, SfxrCategory::MAX + 1> kCategories{{
    {SfxrCategory::PICKUP_COIN, "pickup_coin", 5},
    {SfxrCategory::LASER_SHOOT, "laser_shoot", 5},
    {SfxrCategory::EXPLOSION, "explosion", 5},
    {SfxrCategory::POWER_UP, "power_up", 5},
    {SfxrCategory::HIT_HURT, "hit_hurt", 5},
    {SfxrCategory::JUMP, "jump", 10},
}};

} // namespace

void Beeper::init() {
    sounds.clear();
    sounds.resize(SfxrCategory::MAX + 1);
    for (const CategoryFiles& c : kCategories)
        sounds[static_cast<std::size_t>(c.category)] =
            std::make_unique<SoundList>(c.stem, c.variants);
}

void Beeper::beep(int category, double volume, double x) {
    // Callers pass only the category constants; a stray value is a bug that must not read
    // past the table.
    if (category < 0 || static_cast<std::size_t>(category) >= sounds.size() ||
        !sounds[static_cast<std::size_t>(category)])
        throw std::out_of_range("Beeper::beep: no sound category " + std::to_string(category));
    sounds[static_cast<std::size_t>(category)]->play(volume, x);
}

void Beeper::restoreOrder() {
    for (auto& list : sounds) {
        if (list)
            list->restoreOrder();
    }
}

} // namespace zindle
