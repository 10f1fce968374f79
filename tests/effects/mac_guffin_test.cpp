// The MacGuffin's cycle as a player sees and hears it: beams in, the prize with its flares,
// beams out, and a power-up sound where it shows up next.
#include "effects/mac_guffin.h"

#include "base/rules.h"
#include "effects/effects_fixture.h"

#include <array>
#include <set>

namespace zindle::test {
namespace {

class MacGuffinTest : public EffectsTest {
protected:
    // The beams drawn now, checked to cross at the MacGuffin; 0 when none are drawn.
    int beamFrame(const MacGuffin& mg) {
        mg.draw(*tiler);
        const auto tiles = drawn();
        if (tiles.empty() || tiles[0].name.rfind("BEAM_", 0) != 0)
            return 0;
        EXPECT_EQ(tiles.size(), 2u);
        const std::string k = tiles[0].name.substr(tiles[0].name.size() - 1);
        EXPECT_EQ(tiles[0].name, "BEAM_HORIZ_" + k);
        EXPECT_EQ(tiles[0].x, 0);
        EXPECT_EQ(tiles[0].y, mg.y);
        EXPECT_EQ(tiles[1].name, "BEAM_VERT_" + k);
        EXPECT_EQ(tiles[1].x, mg.x);
        EXPECT_EQ(tiles[1].y, 0);
        return std::stoi(k);
    }
};

TEST_F(MacGuffinTest, ArrivesSilentlyWithBeamsOneTwoThreeThenShowsItself) {
    ScriptedRandom random;
    random.push({0, 0.5, 0.25, 0.75}); // position, then the flare's offset
    MacGuffin mg;
    EXPECT_EQ(mg.x, 20);
    EXPECT_EQ(mg.y, 35 + 117.5);
    ASSERT_EQ(mg.flares.size(), 1u);
    EXPECT_EQ(mg.flares[0]->x, -5);
    EXPECT_EQ(mg.flares[0]->y, 5);
    EXPECT_TRUE(media->channels().empty());

    std::vector<int> frames{beamFrame(mg)};
    for (int i = 0; i < 3; ++i) {
        mg.update(1.0 / 24); // a quarter of the 1/6 s entrance
        frames.push_back(beamFrame(mg));
    }
    EXPECT_EQ(frames, (std::vector<int>{1, 1, 2, 3}));
    mg.update(1.0 / 24);
    EXPECT_EQ(mg.state, MacGuffin::STATE_IDLE);
    mg.draw(*tiler);
    const auto tiles = drawn();
    ASSERT_EQ(tiles.size(), 2u);
    EXPECT_EQ(tiles[0].name, "MACGUFFIN");
    EXPECT_EQ(tiles[0].x, mg.x);
    EXPECT_EQ(tiles[1].name, "SPARKLE_1");
    EXPECT_EQ(tiles[1].x, mg.x - 5);
    EXPECT_EQ(tiles[1].y, mg.y + 5);
}

TEST_F(MacGuffinTest, WhenTakenBeamsRunBackAndItReappearsElsewhereWithAPowerUp) {
    ScriptedRandom random;
    random.push({0.5, 0.5, 0.5, 0.5});
    MacGuffin mg;
    mg.update(1); // idle
    mg.hit();
    std::vector<int> frames{beamFrame(mg)};
    for (int i = 0; i < 3; ++i) {
        mg.update(1.0 / 16); // a quarter of the 1/4 s exit
        frames.push_back(beamFrame(mg));
    }
    EXPECT_EQ(frames, (std::vector<int>{3, 3, 2, 1}));
    EXPECT_TRUE(media->channels().empty());

    random.push({0.75, 0.1, 0}); // the new spot, then the sound variant
    mg.update(1.0 / 16);
    EXPECT_EQ(mg.state, MacGuffin::STATE_ENTERING);
    EXPECT_EQ(mg.stateCooldown, 1);
    EXPECT_DOUBLE_EQ(mg.x, 350);
    EXPECT_DOUBLE_EQ(mg.y, 58.5);
    EXPECT_EQ(beamFrame(mg), 1);
    ASSERT_EQ(media->channels().size(), 1u);
    EXPECT_NE(media->channels()[0].path.find("power_up1.wav"), std::string::npos);
    EXPECT_DOUBLE_EQ(media->channels()[0].pan, (350.0 - 240) / 240);
    EXPECT_DOUBLE_EQ(media->channels()[0].volume, 1.0);
}

TEST_F(MacGuffinTest, FlaresTwinkleOnEveryUpdateEvenWithoutTime) {
    MacGuffin mg;
    for (int i = 0; i < MacGuffinFlare::FRAMES_PER_FRAME; ++i)
        mg.update(0);
    EXPECT_EQ(mg.state, MacGuffin::STATE_ENTERING);
    EXPECT_EQ(mg.stateCooldown, 1);
    EXPECT_EQ(mg.flares[0]->frame, 1);

    // The second flare joins once the first shows frame 4 (its fifth sparkle tile).
    for (int i = 0; i < 3 * MacGuffinFlare::FRAMES_PER_FRAME; ++i)
        mg.update(0);
    EXPECT_EQ(mg.flares.size(), 1u);
    mg.update(0);
    ASSERT_EQ(mg.flares.size(), 2u);
    EXPECT_EQ(mg.flares[1]->frameCooldown, MacGuffinFlare::FRAMES_PER_FRAME - 1);
}

TEST_F(MacGuffinTest, FlaresStayNearTheMacGuffinAndWithinTheSparkleFrames) {
    // Cycle through the extremes of the random range, three values so that both axes get both.
    int n = 0;
    setRandomSource([&n] { return std::array{0.0, 0.9999999999, 0.5}[n++ % 3]; });
    MacGuffin mg;
    mg.update(1);
    std::set<std::string> names;
    for (int i = 0; i < 1000; ++i) {
        mg.update(1.0 / rules::kStepsPerSecond);
        ASSERT_LE(mg.flares.size(), 2u);
        for (const auto& flare : mg.flares) {
            ASSERT_GE(flare->x, -10);
            ASSERT_LT(flare->x, 10);
            ASSERT_GE(flare->y, -10);
            ASSERT_LT(flare->y, 10);
        }
        mg.draw(*tiler);
        for (const auto& tile : drawn())
            names.insert(tile.name);
    }
    EXPECT_EQ(names, (std::set<std::string>{"MACGUFFIN", "SPARKLE_1", "SPARKLE_2", "SPARKLE_3",
                                            "SPARKLE_4", "SPARKLE_5", "SPARKLE_6", "SPARKLE_7"}));

    // A frame pushed out of range from outside draws nothing rather than a stray tile.
    mg.flares[0]->frame = 7;
    mg.flares[0]->draw(*tiler);
    mg.flares[0]->frame = -1;
    mg.flares[0]->draw(*tiler);
    EXPECT_TRUE(drawn().empty());
}

} // namespace
} // namespace zindle::test
