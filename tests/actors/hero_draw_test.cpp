// A hero's figure, crown, flare and off-screen arrow.
#include "support/game_fixture.h"

#include "input/input.h"
#include "render/tiler.h"

#include <functional>

namespace zindle::test {
namespace {

class HeroDrawTest : public GameFixture {
protected:
    std::vector<NamedTile> paint(const std::function<void(Tiler&)>& layer) {
        Game::tiler->beginDraw();
        layer(*Game::tiler);
        return gameTiles();
    }
};

TEST_F(HeroDrawTest, ThePoseFollowsTheVerticalSpeedAndTheSideThePaddle) {
    auto hero = makeHero(1); // player 2's paddle starts facing left
    auto figure = [&] { return paint([&](Tiler& t) { hero->draw(t); })[0].name; };
    EXPECT_EQ(figure(), "PLAYER_2_SUPERUP_LEFT");
    hero->invulnerable = false;
    hero->dy = -0.5;
    EXPECT_EQ(figure(), "PLAYER_2_FLOAT_LEFT");
    hero->dy = -0.51;
    EXPECT_EQ(figure(), "PLAYER_2_UP_LEFT");
    hero->dy = 0.75;
    Input::paddles[1].facing = 1;
    EXPECT_EQ(figure(), "PLAYER_2_DOWN_RIGHT");
}

TEST_F(HeroDrawTest, AFormingCrownFlickersInFragmentsAndAFormedOneSitsAboveTheFall) {
    auto hero = makeHero(0);
    hero->crowniness = 0.1; // each fragment shows when its number is below 0.5
    scriptRandom({0.4, 0.6, 0.4, 0.6, 0.4, 0.6, 0.4, 0.6, 0.4, 0.6});
    auto crowns = tilesNamed(paint([&](Tiler& t) { hero->draw(t); }), "CROWN");
    ASSERT_EQ(crowns.size(), 5u);
    EXPECT_DOUBLE_EQ(crowns[0].x, hero->x);           // fragment 0 straight below
    EXPECT_DOUBLE_EQ(crowns[0].y, hero->y + 135 + 1); // on a ring of 135, 1 px lower

    hero->crowniness = 1;
    hero->dy = 2;
    crowns = tilesNamed(paint([&](Tiler& t) { hero->draw(t); }), "CROWN");
    ASSERT_EQ(crowns.size(), 1u);
    EXPECT_DOUBLE_EQ(crowns[0].y, hero->y - 20);
}

TEST_F(HeroDrawTest, FlareGrowsWithTheScoreAndBeamsShowOneCatchFromWinning) {
    auto hero = makeHero(0);
    auto flare = [&] { return paint([&](Tiler& t) { hero->drawFlare(t); }); };
    hero->score = 1;
    auto& script = scriptRandom();
    auto tiles = flare();
    EXPECT_EQ(script.drawn(), 0u); // no flicker below 2
    ASSERT_EQ(tiles.size(), 1u);
    EXPECT_EQ(tiles[0].name, "FLARE_1");

    hero->score = 7;
    scriptRandom({0.3});
    tiles = flare();
    ASSERT_EQ(tiles.size(), 3u);
    EXPECT_EQ(tiles[0].name, "BEAM_HORIZ_3");
    EXPECT_EQ(tiles[0].x, 0);
    EXPECT_EQ(tiles[0].y, hero->y);
    EXPECT_EQ(tiles[1].name, "BEAM_VERT_3");
    EXPECT_EQ(tiles[1].x, hero->x);
    EXPECT_EQ(tiles[1].y, 0);
    EXPECT_EQ(tiles[2].name, "FLARE_6");

    scriptRandom({0.7});
    tiles = flare();
    EXPECT_EQ(tiles[0].name, "BEAM_HORIZ_2");
    EXPECT_EQ(tiles[2].name, "FLARE_5");
}

TEST_F(HeroDrawTest, AnOffScreenHeroGetsAnArrowAtTheEdgeAndABlinkingAlertWhileFalling) {
    auto hero = makeHero(0);
    auto ui = [&] { return paint([&](Tiler& t) { hero->drawUI(t, *game); }); };
    hero->x = -30;
    hero->y = 300;
    hero->dy = 0.5;
    auto tiles = ui();
    ASSERT_EQ(tiles.size(), 2u);
    EXPECT_EQ(tiles[0].name, "ARROW_P1_DOWN_LEFT");
    EXPECT_EQ(tiles[0].x, 10);
    EXPECT_EQ(tiles[0].y, 265);
    EXPECT_EQ(tiles[1].name, "ALERT");
    EXPECT_EQ(tiles[1].y, 265);

    game->boardTime = 0.1; // the dark half of the blink
    EXPECT_EQ(ui().size(), 1u);

    // On each edge of the field no arrow; just past it, an arrow pointing that way.
    const struct {
        double x, y;
        const char* arrow;
    } edges[] = {{-10, 100, nullptr}, {-10.5, 100, "ARROW_P1_LEFT"},  //
                 {490, 100, nullptr}, {490.5, 100, "ARROW_P1_RIGHT"}, //
                 {100, -10, nullptr}, {100, -10.5, "ARROW_P1_UP"},    //
                 {100, 285, nullptr}, {100, 285.5, "ARROW_P1_DOWN"}};
    hero->dy = 0;
    for (const auto& edge : edges) {
        hero->x = edge.x;
        hero->y = edge.y;
        tiles = ui();
        if (edge.arrow == nullptr) {
            EXPECT_TRUE(tiles.empty()) << edge.x << ", " << edge.y;
        } else {
            ASSERT_EQ(tiles.size(), 1u) << edge.x << ", " << edge.y;
            EXPECT_EQ(tiles[0].name, edge.arrow);
        }
    }

    hero->x = 500;
    hero->y = -20;
    tiles = ui();
    ASSERT_EQ(tiles.size(), 1u);
    EXPECT_EQ(tiles[0].name, "ARROW_P1_UP_RIGHT");
    EXPECT_EQ(tiles[0].x, 470);
    EXPECT_EQ(tiles[0].y, 10);
}

} // namespace
} // namespace zindle::test
