#pragma once
// Shared by the effect and cloud tests: a headless media layer, a small atlas whose tile list
// names every tile these objects draw (plus out-of-range frames, so a stray one shows up), a
// POWER_UP sound, and random numbers played from a script.
#include "app/process_state.h"
#include "framework/assets.h"
#include "framework/random.h"
#include "media/headless/headless_media.h"
#include "render/tiler.h"
#include "sound/beeper.h"
#include "sound/sfxr_category.h"
#include "sound/sound_list.h"
#include "support/drawn_tiles.h"
#include "support/scripted_random.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace zindle::test {

class EffectsTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetProcessState();
        media = &HeadlessMedia::install();
        Assets::setSearchRoots({std::string(ZINDLE_TEST_DATA) + "/effects"});
        seedRandom(1);
        tiler = std::make_unique<Tiler>("assets/gametiles");
        tiler->beginDraw();
        // Every category but POWER_UP stays silent; POWER_UP has one variant.
        for (int c = 0; c <= SfxrCategory::MAX; ++c)
            Beeper::sounds.push_back(
                std::make_unique<SoundList>(c == SfxrCategory::POWER_UP ? "power_up" : "",
                                            c == SfxrCategory::POWER_UP ? 1 : 0));
    }

    void TearDown() override {
        tiler.reset();
        resetProcessState();
    }

    // The tiles drawn since the last call, in drawing order.
    std::vector<NamedTile> drawn() {
        auto out = bufferedTiles(tiler.get());
        tiler->beginDraw();
        return out;
    }

    HeadlessMedia* media = nullptr;
    std::unique_ptr<Tiler> tiler;
};

} // namespace zindle::test
