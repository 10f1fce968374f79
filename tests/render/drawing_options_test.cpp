// Reduced motion and the heroes' markers change the picture only: the match, and the random
// numbers drawing takes from it, stay exactly as without them.
#include "actors/cloud.h"
#include "app/process_state.h"
#include "framework/assets.h"
#include "framework/random.h"
#include "match/state_checksum.h"
#include "render/drawing_options.h"
#include "sound/beeper.h"
#include "support/game_fixture.h"

#include <filesystem>

namespace zindle::test {
namespace {

class DrawingOptionsTest : public GameFixture {
protected:
    // The shipped atlas: the markers are set in its font, which the small fixture has not.
    void SetUp() override {
        resetProcessState();
        media = &HeadlessMedia::install();
        Assets::setSearchRoots({std::filesystem::path(ZINDLE_ASSETS_DIR).parent_path()});
        Beeper::init();
        Game::init();
        canvas = std::make_unique<Sprite>();
    }

    struct Run {
        std::uint64_t checksum = 0;
        double largestShakePx = 0;
        std::size_t markers = 0; // digits drawn over heroes
    };

    // Four computer players for twenty seconds, drawn every fifth step.
    Run play(bool reducedMotion, bool highContrast) {
        DrawingOptions::reducedMotion = reducedMotion;
        DrawingOptions::highContrast = highContrast;
        game.reset();
        seedRandom(77);
        game = std::make_unique<Game>();
        for (int player = 0; player < 4; ++player)
            game->toggleComputerPlayer(player);
        Run run;
        for (int frame = 0; frame < 20 * rules::kStepsPerSecond / 5; ++frame) {
            step(5);
            drawFrame();
            const auto tiles = gameTiles();
            // Clouds are drawn at their place plus the shake, and nothing else moves them.
            std::size_t cloud = 0;
            for (const NamedTile& tile : tiles) {
                if (tile.name.starts_with("CLOUD") && cloud < game->clouds.size())
                    run.largestShakePx =
                        std::max(run.largestShakePx, std::abs(tile.y - game->clouds[cloud++]->y));
                run.markers += tile.name == "TEXT_31" || tile.name == "TEXT_34" ? 1 : 0;
            }
        }
        run.checksum = stateChecksum(*game);
        return run;
    }
};

TEST_F(DrawingOptionsTest, ChangeThePictureButNeverTheMatch) {
    const Run plain = play(false, false);
    const Run gentle = play(true, true);
    EXPECT_EQ(gentle.checksum, plain.checksum);
    EXPECT_GT(plain.largestShakePx, 1);
    EXPECT_EQ(gentle.largestShakePx, 0);
    EXPECT_EQ(plain.markers, 0u);
    EXPECT_GT(gentle.markers, 0u);
}

} // namespace
} // namespace zindle::test
