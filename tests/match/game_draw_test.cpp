// A frame of the board: the shaken playfield, the panels along the bottom and the title.
#include "support/game_fixture.h"

#include "actors/cloud.h"
#include "effects/mac_guffin.h"
#include "render/tiler.h"

namespace zindle::test {
namespace {

using GameDrawTest = GameFixture;

TEST_F(GameDrawTest, PanelShowsNumberPipsAndJoinPromptsForEmptySlots) {
    Hero& hero = addHero(2);
    hero.score = 3;
    drawFrame();
    const auto tiles = gameTiles();

    const auto number = tilesNamed(tiles, "PLAYER_NUMBER_3");
    ASSERT_EQ(number.size(), 1u);
    EXPECT_EQ(number[0].x, 252);
    EXPECT_EQ(number[0].y, 284);

    const auto on = tilesNamed(tiles, "SCORE_ON");
    const auto off = tilesNamed(tiles, "SCORE_OFF");
    ASSERT_EQ(on.size(), 3u);
    ASSERT_EQ(off.size(), 2u);
    EXPECT_EQ(on[0].x, 279);
    EXPECT_EQ(on[1].x, 294);
    EXPECT_EQ(on[2].x, 309);
    EXPECT_EQ(off[0].x, 324);
    EXPECT_EQ(off[1].x, 339);
    for (const auto& pip : on) {
        EXPECT_EQ(pip.y, 290);
    }
    EXPECT_TRUE(tilesNamed(tiles, "CROWN").empty());

    // boardTime 0: the join prompts are in the light half of their blink.
    const double joinX[] = {21, 141, 381};
    const char* joinName[] = {"PLAYER_JOIN_LIGHT_1", "PLAYER_JOIN_LIGHT_2", "PLAYER_JOIN_LIGHT_4"};
    for (int i = 0; i < 3; ++i) {
        const auto prompt = tilesNamed(tiles, joinName[i]);
        ASSERT_EQ(prompt.size(), 1u) << joinName[i];
        EXPECT_EQ(prompt[0].x, joinX[i]);
        EXPECT_EQ(prompt[0].y, 284);
    }
    EXPECT_TRUE(tilesNamed(tiles, "PLAYER_JOIN_LIGHT_3").empty());

    game->boardTime = 0.5; // frac(0.5 * 140 / 120) = 0.583: dark
    drawFrame();
    EXPECT_EQ(tilesNamed(gameTiles(), "PLAYER_JOIN_DARK_1").size(), 1u);
}

// Each panel shows its player's steering keys at its left edge, except where the player
// steers on another machine: there this keyboard's keys would be wrong.
TEST_F(GameDrawTest, KeyCapsShowOnPanelsSteeredHereOnly) {
    addHero(1);
    const std::pair<std::uint8_t, std::vector<double>> cases[] = {
        {0, {0, 120, 240, 360}}, {0b0110, {0, 360}}, {0b1111, {}}};
    for (const auto& [elsewhere, capsAtX] : cases) {
        game->slotsSteeredElsewhere = elsewhere;
        drawFrame();
        const auto tiles = gameTiles();
        std::vector<double> shown;
        for (const auto& tile : tiles)
            if (tile.name.starts_with("KEY_CAPS_") && tile.y == 275 &&
                tile.x == 120.0 * (tile.name.back() - '1'))
                shown.push_back(tile.x);
        EXPECT_EQ(shown, capsAtX) << int{elsewhere};
        EXPECT_EQ(tilesNamed(tiles, "PLAYER_NUMBER_2").size(), 1u); // the rest of the panel stays
    }
}

// Online, a panel shows the keys that steer its seat, and a seat another machine holds invites
// nobody here to join it.
TEST_F(GameDrawTest, PanelsShowTheKeysThatSteerAndNoInviteToSeatsHeldElsewhere) {
    addHero(1);
    game->keyCapsOfSlot = {-1, 0, 3, 2}; // slot 2 steered by the arrows, slot 1 unknown
    game->slotsSteeredElsewhere = 0b1000;
    drawFrame();
    const auto tiles = gameTiles();
    std::vector<std::pair<std::string, double>> caps;
    for (const auto& tile : tiles)
        if (tile.name.starts_with("KEY_CAPS_") && tile.y == 275)
            caps.emplace_back(tile.name, tile.x);
    const std::vector<std::pair<std::string, double>> expected = {{"KEY_CAPS_1", 120},
                                                                  {"KEY_CAPS_4", 240}};
    EXPECT_EQ(caps, expected);
    EXPECT_EQ(tilesNamed(tiles, "PLAYER_JOIN_LIGHT_1").size(), 1u);
    EXPECT_TRUE(tilesNamed(tiles, "PLAYER_JOIN_LIGHT_4").empty());
}

TEST_F(GameDrawTest, PanelCrownRisesIntoPlaceAsItForms) {
    Hero& hero = addHero(0);
    hero.crowniness = 0.5;
    drawFrame();
    auto crowns = tilesNamed(gameTiles(), "CROWN");
    // The hero's own crown fragments are drawn too; the panel's is the one at x 19.
    std::erase_if(crowns, [](const NamedTile& t) { return t.x != 19; });
    ASSERT_EQ(crowns.size(), 1u);
    EXPECT_EQ(crowns[0].y, 308.5);

    hero.crowniness = 1;
    drawFrame();
    crowns = tilesNamed(gameTiles(), "CROWN");
    std::erase_if(crowns, [](const NamedTile& t) { return t.x != 19; });
    ASSERT_EQ(crowns.size(), 1u);
    EXPECT_EQ(crowns[0].y, 296);
}

TEST_F(GameDrawTest, OneCatchFromWinningAllFivePipsBlinkInAWave) {
    Hero& hero = addHero(0);
    hero.score = 7;
    drawFrame();
    EXPECT_EQ(tilesNamed(gameTiles(), "SCORE_ON").size(), 5u);
    EXPECT_TRUE(tilesNamed(gameTiles(), "SCORE_OFF").empty());

    game->boardTime = 0.09; // pips 0 and 1 past the half of their cycle
    drawFrame();
    const auto on = tilesNamed(gameTiles(), "SCORE_ON");
    const auto off = tilesNamed(gameTiles(), "SCORE_OFF");
    ASSERT_EQ(on.size(), 3u);
    ASSERT_EQ(off.size(), 2u);
    EXPECT_EQ(off[0].x, 39);
    EXPECT_EQ(off[1].x, 54);
}

TEST_F(GameDrawTest, AfterAWinWithNobodyPlayingTheWinnersPanelSaysWhoWonUntilSomebodyJoins) {
    game->clouds.clear();
    game->titleAlpha = 0;
    Hero& hero = placeHero(1, 100, 100);
    hero.score = 5;
    MacGuffin& mg = *game->macGuffin;
    mg.state = MacGuffin::STATE_IDLE;
    mg.x = 105;
    mg.y = 100;
    step();
    ASSERT_TRUE(game->heroes.empty());

    auto& script = scriptRandom();
    drawFrame();
    EXPECT_EQ(script.drawn(), 1u); // the frame still takes its one number, no more
    const auto tiles = gameTiles();
    const auto number = tilesNamed(tiles, "PLAYER_NUMBER_2");
    ASSERT_EQ(number.size(), 1u);
    EXPECT_EQ(number[0].x, 132);
    const auto crown = tilesNamed(tiles, "CROWN");
    ASSERT_EQ(crown.size(), 1u);
    EXPECT_EQ(crown[0].x, 139);
    EXPECT_EQ(crown[0].y, 296);
    const auto winner = tilesNamed(tiles, "WINNER");
    ASSERT_EQ(winner.size(), 1u);
    EXPECT_EQ(winner[0].x, 189);
    EXPECT_EQ(winner[0].y, 290);
    EXPECT_TRUE(tilesNamed(tiles, "PLAYER_JOIN_LIGHT_2").empty());
    EXPECT_EQ(tilesNamed(tiles, "PLAYER_JOIN_LIGHT_1").size(), 1u);

    game->spawnHero(0);
    drawFrame();
    EXPECT_TRUE(tilesNamed(gameTiles(), "WINNER").empty());
    EXPECT_EQ(tilesNamed(gameTiles(), "PLAYER_JOIN_LIGHT_2").size(), 1u);
}

TEST_F(GameDrawTest, TheTitleBlinksItsStartPromptAndSlidesItsHalvesApartAsItOpens) {
    drawFrame();
    auto tiles = titleTiles();
    ASSERT_EQ(tiles.size(), 2u);
    EXPECT_EQ(tiles[0].name, "TITLE");
    EXPECT_EQ(tiles[1].name, "START_BRIGHT");
    game->boardTime = 1; // frac(95 / 120) > 0.5
    drawFrame();
    EXPECT_EQ(titleTiles()[1].name, "START_DARK");

    game->titleAlpha = 0.5;
    drawFrame();
    tiles = titleTiles();
    ASSERT_EQ(tiles.size(), 4u);
    const char* names[] = {"TITLE_UPPER", "UPPER_BORDER", "TITLE_LOWER", "LOWER_BORDER"};
    const double ys[] = {-91.5, -91.5, 68.5, 68.5};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(tiles[i].name, names[i]);
        EXPECT_EQ(tiles[i].x, 0);
        EXPECT_DOUBLE_EQ(tiles[i].y, ys[i]);
    }

    game->titleAlpha = 0;
    Game::titleTiler->tileBuffer.clear();
    drawFrame();
    EXPECT_TRUE(titleTiles().empty());
}

TEST_F(GameDrawTest, TheTitleTellsAPageAndATouchScreenWhatToPress) {
    struct Case {
        Game::TitleHints hints;
        std::vector<std::string> shown; // the title shut, its prompt bright
        std::vector<std::string> opening;
    };
    const std::vector<Case> cases = {
        {Game::TitleHints::Desktop,
         {"TITLE", "START_BRIGHT"},
         {"TITLE_UPPER", "UPPER_BORDER", "TITLE_LOWER", "LOWER_BORDER"}},
        {Game::TitleHints::Page,
         {"TITLE", "KEYS_IN_PAGE", "START_BRIGHT"},
         {"TITLE_UPPER", "UPPER_BORDER", "TITLE_LOWER", "KEYS_IN_PAGE", "LOWER_BORDER"}},
        {Game::TitleHints::Touch,
         {"TITLE", "KEYS_IN_PAGE", "START_TOUCH_BRIGHT"},
         {"TITLE_UPPER", "UPPER_BORDER", "TITLE_LOWER", "KEYS_IN_PAGE", "LOWER_BORDER"}},
    };
    auto names = [&] {
        std::vector<std::string> out;
        for (const auto& tile : titleTiles())
            out.push_back(tile.name);
        return out;
    };
    for (const Case& c : cases) {
        Game::titleHints = c.hints;
        game->titleAlpha = 1;
        drawFrame();
        EXPECT_EQ(names(), c.shown);
        game->titleAlpha = 0.5;
        drawFrame();
        EXPECT_EQ(names(), c.opening);
        // The page's keys move with the lower half.
        for (const auto& tile : titleTiles()) {
            if (tile.name == "KEYS_IN_PAGE") {
                EXPECT_DOUBLE_EQ(tile.y, 68.5);
            }
        }
    }
    Game::titleHints = Game::TitleHints::Desktop;
}

TEST_F(GameDrawTest, ShakeJoltsThePlayfieldButNotTheDisplay) {
    game->update(0.001); // clouds to their resting points
    auto& unshaken = scriptRandom({0.9});
    drawFrame();
    EXPECT_EQ(unshaken.drawn(), 1u); // one number a frame, shake or not
    EXPECT_EQ(Game::tiler->scrollY, 0);
    EXPECT_DOUBLE_EQ(gameTiles()[0].y, game->clouds[0]->y);

    game->shake = 1;
    scriptRandom({0.0});
    drawFrame();
    const auto tiles = gameTiles();
    const Cloud& cloud = *game->clouds[0];
    ASSERT_FALSE(tiles.empty());
    EXPECT_EQ(tiles[0].name, "CLOUD_TINY");
    EXPECT_DOUBLE_EQ(tiles[0].y, cloud.y - 10);
    const auto strip = tilesNamed(tiles, "UI");
    ASSERT_EQ(strip.size(), 1u);
    EXPECT_EQ(strip[0].x, 0);
    EXPECT_EQ(strip[0].y, 275);
    EXPECT_EQ(tilesNamed(tiles, "PLAYER_JOIN_LIGHT_1")[0].y, 284);
}

} // namespace
} // namespace zindle::test
