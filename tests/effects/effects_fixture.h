#pragma once
// Shared by the effect and cloud tests: a headless media layer, a small atlas whose tile list
// names every tile these objects draw (plus out-of-range frames, so a stray one shows up), a
// POWER_UP sound, and random numbers played from a script.
#include "framework/assets.h"
#include "framework/random.h"
#include "media/headless/headless_media.h"
#include "render/tiler.h"
#include "sound/beeper.h"
#include "sound/sfxr_category.h"
#include "sound/sound_list.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace zindle::testing {

struct DrawnTile {
    std::string name;
    double x;
    double y;
};

// Feeds zindle::random() from a list; running dry fails the test and returns 0.
class ScriptedRandom {
public:
    ScriptedRandom() {
        setRandomSource([this] {
            if (values_.empty()) {
                ADD_FAILURE() << "random() called more often than scripted";
                return 0.0;
            }
            const double v = values_.front();
            values_.pop_front();
            return v;
        });
    }
    ScriptedRandom(const ScriptedRandom&) = delete;
    ScriptedRandom& operator=(const ScriptedRandom&) = delete;
    ~ScriptedRandom() { setRandomSource({}); }

    void push(std::initializer_list<double> values) { values_.insert(values_.end(), values); }
    std::size_t left() const { return values_.size(); }

private:
    std::deque<double> values_;
};

class EffectsTest : public ::testing::Test {
protected:
    void SetUp() override {
        media = &HeadlessMedia::install();
        Assets::reset();
        Assets::setSearchRoots({std::string(ZINDLE_TEST_DATA) + "/effects"});
        seedRandom(1);
        tiler = std::make_unique<Tiler>("assets/gametiles");
        tiler->beginDraw();
        // Every category but POWER_UP stays silent; POWER_UP has one variant.
        Beeper::sounds.clear();
        for (int c = 0; c <= SfxrCategory::MAX; ++c)
            Beeper::sounds.push_back(
                std::make_unique<SoundList>(c == SfxrCategory::POWER_UP ? "power_up" : "",
                                            c == SfxrCategory::POWER_UP ? 1 : 0));
    }

    void TearDown() override {
        Beeper::sounds.clear();
        setRandomSource({});
        Assets::reset();
    }

    // The tiles drawn since the last call, in drawing order.
    std::vector<DrawnTile> drawn() {
        std::vector<DrawnTile> out;
        const auto& buffer = tiler->tileBuffer;
        for (std::size_t i = 0; i + 2 < buffer.size(); i += 3)
            out.push_back({tiler->keys.at(static_cast<std::size_t>(buffer[i + 2])), buffer[i],
                           buffer[i + 1]});
        tiler->beginDraw();
        return out;
    }

    HeadlessMedia* media = nullptr;
    std::unique_ptr<Tiler> tiler;
};

} // namespace zindle::testing
