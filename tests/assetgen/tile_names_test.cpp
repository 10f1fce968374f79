// The committed atlases: every tile the game asks for is there once, inside its image, and the
// tiles whose size or placement the game relies on have it.
#include "atlas_fixture.h"
#include "render/tile_list.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

using assetgen::Image;
using assetgen::test::AtlasTest;
using assetgen::test::Tile;

std::vector<std::string> requiredGameNames() {
    std::vector<std::string> names;
    for (int n = 1; n <= 4; ++n) {
        const std::string p = std::to_string(n);
        for (const char* pose : {"_UP", "_FLOAT", "_DOWN", "_SUPERUP"}) {
            for (const char* side : {"_LEFT", "_RIGHT"}) {
                names.push_back("PLAYER_" + p + pose + side);
            }
        }
        for (const char* v : {"", "_UP", "_DOWN"}) {
            for (const char* h : {"", "_LEFT", "_RIGHT"}) {
                if (*v || *h) {
                    names.push_back("ARROW_P" + p + v + h);
                }
            }
        }
        for (const char* k : {"_2", "_3"}) {
            names.push_back("MATCH_POINT_HORIZ_P" + p + k);
            names.push_back("MATCH_POINT_VERT_P" + p + k);
        }
        names.push_back("PLAYER_NUMBER_" + p);
        names.push_back("PLAYER_JOIN_LIGHT_" + p);
        names.push_back("PLAYER_JOIN_DARK_" + p);
        names.push_back("KEY_CAPS_" + p);
    }
    for (int k = 1; k <= 6; ++k) {
        names.push_back("FLARE_" + std::to_string(k));
    }
    for (int k = 1; k <= 3; ++k) {
        names.push_back("BEAM_HORIZ_" + std::to_string(k));
        names.push_back("BEAM_VERT_" + std::to_string(k));
    }
    for (int k = 1; k <= 7; ++k) {
        names.push_back("SPARKLE_" + std::to_string(k));
    }
    for (int k = 1; k <= 10; ++k) {
        names.push_back("CROWN_PIECE_" + std::to_string(k));
    }
    for (const char* c : {"TINY", "SMALL", "MEDIUM", "LARGE", "HUGE", "BROKEN"}) {
        names.push_back(std::string("CLOUD_") + c);
    }
    for (const char* b : {"PINK", "ORANGE", "YELLOW", "GREEN", "BLUE"}) {
        names.push_back(std::string("RAINBOW_") + b);
    }
    for (const char* s : {"CROWN", "ALERT", "MACGUFFIN", "RAIN_LIGHT", "RAIN_DARK", "UI",
                          "SCORE_ON", "SCORE_OFF", "WINNER"}) {
        names.push_back(s);
    }
    return names;
}

TEST_F(AtlasTest, EveryNameTheGameDrawsIsListedExactlyOnce) {
    const std::vector<std::string> required = requiredGameNames();
    EXPECT_EQ(required.size(), 32u + 32u + 16u + 12u + 6u + 6u + 7u + 10u + 6u + 5u + 9u + 4u);
    for (const std::string& name : required) {
        EXPECT_EQ(count(game, name), 1) << name;
    }
    for (const char* name :
         {"TITLE", "START_BRIGHT", "START_DARK", "START_TOUCH_BRIGHT", "START_TOUCH_DARK",
          "KEYS_IN_PAGE", "TITLE_UPPER", "UPPER_BORDER", "TITLE_LOWER", "LOWER_BORDER"}) {
        EXPECT_EQ(count(title, name), 1) << name;
    }
    // Names are upper case, as the game composes them.
    for (const Tile& t : game) {
        for (char c : t.name) {
            EXPECT_FALSE(c >= 'a' && c <= 'z') << t.name;
        }
    }
}

TEST_F(AtlasTest, EveryRectangleLiesInsideItsImageAndShowsSomething) {
    for (const auto& [tiles, image] :
         {std::pair{&game, &gameImage}, std::pair{&title, &titleImage}}) {
        for (const Tile& t : *tiles) {
            EXPECT_GT(t.w, 0) << t.name;
            EXPECT_GT(t.h, 0) << t.name;
            EXPECT_GE(t.x, 0) << t.name;
            EXPECT_GE(t.y, 0) << t.name;
            EXPECT_LE(t.x + t.w, image->width()) << t.name;
            EXPECT_LE(t.y + t.h, image->height()) << t.name;
            EXPECT_TRUE(visible(*image, t)) << t.name << " is empty";
        }
    }
}

TEST_F(AtlasTest, TheGamesOwnReaderAcceptsEveryLine) {
    const std::string dir = ZINDLE_ASSETS_DIR;
    for (const auto& [file, image, count] : {std::tuple{"/gametiles.txt", &gameImage, game.size()},
                                             std::tuple{"/title.txt", &titleImage, title.size()}}) {
        std::ifstream in(dir + file, std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        const zindle::TileList list = zindle::readTileList(text, image->width(), image->height());
        EXPECT_TRUE(list.warnings.empty()) << file << ": " << list.warnings.front();
        EXPECT_EQ(list.tiles.size(), count) << file;
    }
}

TEST_F(AtlasTest, GameTilesDoNotOverlap) {
    for (std::size_t i = 0; i < game.size(); ++i) {
        for (std::size_t j = i + 1; j < game.size(); ++j) {
            const Tile& a = game[i];
            const Tile& b = game[j];
            const bool apart =
                a.x + a.w <= b.x || b.x + b.w <= a.x || a.y + a.h <= b.y || b.y + b.h <= a.y;
            EXPECT_TRUE(apart) << a.name << " overlaps " << b.name;
        }
    }
}

TEST_F(AtlasTest, ScreenWideTilesSpanTheScreen) {
    const Tile& ui = gameByName.at("UI");
    EXPECT_EQ(ui.w, 480);
    EXPECT_EQ(ui.h, 45); // from y 275 to the bottom edge
    EXPECT_EQ(ui.cx, 0);
    EXPECT_EQ(ui.cy, 0);
    for (int k = 1; k <= 3; ++k) {
        const Tile& h = gameByName.at("BEAM_HORIZ_" + std::to_string(k));
        EXPECT_EQ(h.w, 480);
        EXPECT_EQ(h.cx, 0);
        EXPECT_EQ(h.cy, h.h / 2);
        const Tile& v = gameByName.at("BEAM_VERT_" + std::to_string(k));
        EXPECT_EQ(v.h, 320);
        EXPECT_EQ(v.cy, 0);
        EXPECT_EQ(v.cx, v.w / 2);
    }
    // Brighter beams are no thinner than fainter ones.
    EXPECT_LE(gameByName.at("BEAM_HORIZ_1").h, gameByName.at("BEAM_HORIZ_3").h);
}

// A panel's steering keys, drawn at its left edge on the strip, stay inside the panel and are
// opaque: over the strip they give exactly the pixels of one picture with the keys.
TEST_F(AtlasTest, KeyCapsSitOpaqueInsideTheirPanel) {
    for (int n = 1; n <= 4; ++n) {
        const Tile& caps = gameByName.at("KEY_CAPS_" + std::to_string(n));
        EXPECT_TRUE(caps.cx <= 0 && caps.cy <= 0 && caps.w - caps.cx <= 120 &&
                    caps.h - caps.cy <= 45)
            << n;
        for (int y = 0; y < caps.h; ++y)
            for (int x = 0; x < caps.w; ++x)
                ASSERT_EQ(gameImage.at(caps.x + x, caps.y + y).a, 255) << n;
    }
}

TEST_F(AtlasTest, TitleHalvesTogetherMakeTheTitle) {
    const Tile& whole = titleByName.at("TITLE");
    const Tile& upper = titleByName.at("TITLE_UPPER");
    const Tile& lower = titleByName.at("TITLE_LOWER");
    EXPECT_EQ(whole.w, 480);
    EXPECT_EQ(whole.h, 320);
    EXPECT_EQ(whole.cx, 0);
    EXPECT_EQ(whole.cy, 0);
    EXPECT_EQ(upper.w, 480);
    EXPECT_EQ(upper.h, 183);
    EXPECT_EQ(lower.w, 480);
    EXPECT_EQ(lower.h, 137);
    EXPECT_EQ(upper.cx, 0);
    EXPECT_EQ(upper.cy, 0);
    EXPECT_EQ(lower.cx, 0);
    EXPECT_EQ(lower.cy, -183); // drawn at (0, 137e), its top row lands on screen row 183 + 137e
    // Shut, the halves show exactly the title's pixels.
    for (int y = 0; y < 320; ++y) {
        const Tile& half = y < 183 ? upper : lower;
        const int row = y < 183 ? y : y - 183;
        for (int x = 0; x < 480; x += 7) {
            ASSERT_EQ(titleImage.at(half.x + x, half.y + row),
                      titleImage.at(whole.x + x, whole.y + y))
                << x << "," << y;
        }
    }
    // The start prompts and the page's keys are drawn at (0, 0): their centres say where on the
    // screen they appear. The keys of a page lie on the lower half, which they move with.
    EXPECT_GE(-titleByName.at("KEYS_IN_PAGE").cy, 183);
    for (const char* name :
         {"START_BRIGHT", "START_DARK", "START_TOUCH_BRIGHT", "START_TOUCH_DARK", "KEYS_IN_PAGE"}) {
        const Tile& s = titleByName.at(name);
        EXPECT_LE(s.cx, 0) << name;
        EXPECT_LE(s.cy, 0) << name;
        EXPECT_LE(-s.cx + s.w, 480) << name;
        EXPECT_LE(-s.cy + s.h, 320) << name;
    }
    EXPECT_EQ(titleByName.at("UPPER_BORDER").w, 480);
    EXPECT_EQ(titleByName.at("LOWER_BORDER").w, 480);
}

TEST_F(AtlasTest, CrownSitsAboveTheHeroItIsDrawnOn) {
    const Tile& crown = gameByName.at("CROWN");
    const Tile& hero = gameByName.at("PLAYER_1_FLOAT_RIGHT");
    EXPECT_GE(crown.cy, crown.h) << "the crown's picture must lie above its centre point";
    // Its lowest row lies within the figure's upper half, not floating above it.
    const int crownBottom = crown.h - 1 - crown.cy; // relative to the hero's middle
    EXPECT_LT(crownBottom, 0);
    EXPECT_GE(crownBottom, -hero.cy);
}

TEST_F(AtlasTest, CloudsMatchTheirContactBoxes) {
    // Half-width and half-height of each cloud's contact box; the picture reaches about 2 px
    // beyond, where an 8-px hero touching it meets its edge.
    const std::map<std::string, std::pair<int, int>> halfSizes = {{"CLOUD_TINY", {6, 6}},
                                                                  {"CLOUD_SMALL", {9, 6}},
                                                                  {"CLOUD_MEDIUM", {13, 6}},
                                                                  {"CLOUD_LARGE", {15, 8}},
                                                                  {"CLOUD_HUGE", {20, 9}}};
    for (const auto& [name, half] : halfSizes) {
        const Tile& t = gameByName.at(name);
        EXPECT_NEAR(t.w / 2, half.first + 2, 2) << name;
        EXPECT_NEAR(t.h / 2, half.second + 2, 2) << name;
        EXPECT_NEAR(t.cx, t.w / 2, 1) << name;
        EXPECT_NEAR(t.cy, t.h / 2, 1) << name;
    }
}

TEST_F(AtlasTest, LeftFiguresMirrorRightOnesAboutTheHeroPosition) {
    for (int n = 1; n <= 4; ++n) {
        for (const char* pose : {"_UP", "_FLOAT", "_DOWN", "_SUPERUP"}) {
            const std::string stem = "PLAYER_" + std::to_string(n) + pose;
            const Tile& l = gameByName.at(stem + "_LEFT");
            const Tile& r = gameByName.at(stem + "_RIGHT");
            ASSERT_EQ(l.w, r.w) << stem;
            ASSERT_EQ(l.h, r.h) << stem;
            EXPECT_EQ(l.cx, r.w - r.cx) << stem;
            EXPECT_EQ(l.cy, r.cy) << stem;
            for (int y = 0; y < r.h; ++y) {
                for (int x = 0; x < r.w; ++x) {
                    ASSERT_EQ(gameImage.at(l.x + r.w - 1 - x, l.y + y),
                              gameImage.at(r.x + x, r.y + y))
                        << stem << " " << x << "," << y;
                }
            }
        }
    }
}

TEST_F(AtlasTest, PlayersDifferInShapeNotOnlyInColour) {
    // Compare the figures' silhouettes (opaque or not): every pair of players must differ.
    for (int a = 1; a <= 4; ++a) {
        for (int b = a + 1; b <= 4; ++b) {
            const Tile& ta = gameByName.at("PLAYER_" + std::to_string(a) + "_FLOAT_RIGHT");
            const Tile& tb = gameByName.at("PLAYER_" + std::to_string(b) + "_FLOAT_RIGHT");
            int differences = 0;
            for (int y = 0; y < ta.h; ++y) {
                for (int x = 0; x < ta.w; ++x) {
                    differences += (gameImage.at(ta.x + x, ta.y + y).a != 0) !=
                                   (gameImage.at(tb.x + x, tb.y + y).a != 0);
                }
            }
            EXPECT_GE(differences, 6) << a << " and " << b;
        }
    }
}

} // namespace
