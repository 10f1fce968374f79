#pragma once
// A board on the headless media layer over the small fixture files in tests/data/game: every
// service initialised afresh, random numbers seeded, helpers to step, draw and read back the
// tiles and sounds a test asserts on.
#include "actors/cloud.h"
#include "actors/hero.h"
#include "base/rules.h"
#include "effects/mac_guffin.h"
#include "effects/trail_particle.h"
#include "framework/display_object.h"
#include "match/game.h"
#include "media/headless/headless_media.h"
#include "support/drawn_tiles.h"
#include "support/scripted_random.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zindle::test {

constexpr double kStep = 1.0 / rules::kStepsPerSecond; // s, the fixed step

class GameFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Replaces the random source with a script, kept until the next call or the test's end;
    // once the values are used up, fallback every time.
    ScriptedRandom& scriptRandom(std::vector<double> values = {}, double fallback = 0.5);

    // A hero for player that is not in the game's list.
    std::shared_ptr<Hero> makeHero(int player);
    // A hero appended to the game's list.
    Hero& addHero(int player);
    // A hero appended to the game's list, standing still where put and open to contact.
    Hero& placeHero(int player, double x, double y);

    // n board steps of kStep, each preceded by the input step as Main runs it.
    void step(int n = 1);

    // Draws one frame and returns what each tiler buffered.
    void drawFrame();
    std::vector<NamedTile> gameTiles() const;
    std::vector<NamedTile> titleTiles() const;

    // Sound effects started since the last clearSounds whose file name starts with stem.
    int soundCount(std::string_view stem) const;
    std::vector<double> soundVolumes(std::string_view stem) const;
    // The music track last started, or "" when none.
    std::string lastMusic() const;
    void clearSounds();

    HeadlessMedia* media = nullptr;
    std::unique_ptr<Game> game;
    std::unique_ptr<Sprite> canvas;

private:
    std::unique_ptr<ScriptedRandom> script_;
};

} // namespace zindle::test
