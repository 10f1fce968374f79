// What a player must be able to tell apart in the committed game atlas: contrasts against the
// sky and the navy display computed from the pixels themselves (relative luminance), colour
// differences as CIE76 distances in Lab space.
#include "atlas_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using assetgen::Image;
using assetgen::Rgba;
using assetgen::test::AtlasTest;
using assetgen::test::Tile;

const Rgba kSky{0x85, 0xE3, 0xFF, 255};
constexpr double kLegibleOnSky = 2.0;    // contrast ratio of a tinted figure's body
constexpr double kVisibleOnSky = 1.8;    // of the strongest pixel of a light particle
constexpr double kLegibleOnPanel = 3.0;  // of the display's player colours
constexpr double kBeamOnSky = 3.0;       // of a match-point beam's strongest pixel
constexpr double kDistinctColours = 45;  // CIE76; the old pink and red were 39 apart
constexpr int kPanelMiddle[] = {60, 16}; // a point inside panel 1 of the display strip
constexpr int kStripeRow = 4;            // the player's stripe across the panel's top

double channel(int c) {
    const double v = c / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

double luminance(Rgba c) {
    return 0.2126 * channel(c.r) + 0.7152 * channel(c.g) + 0.0722 * channel(c.b);
}

double contrast(Rgba a, Rgba b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

double labDistance(Rgba a, Rgba b) {
    const auto lab = [](Rgba c) {
        const double r = channel(c.r), g = channel(c.g), b = channel(c.b);
        const double xyz[] = {(0.4124 * r + 0.3576 * g + 0.1805 * b) / 0.95047,
                              0.2126 * r + 0.7152 * g + 0.0722 * b,
                              (0.0193 * r + 0.1192 * g + 0.9505 * b) / 1.08883};
        double f[3];
        for (int i = 0; i < 3; ++i) {
            f[i] = xyz[i] > 0.008856 ? std::cbrt(xyz[i]) : 7.787 * xyz[i] + 16.0 / 116;
        }
        return std::array<double, 3>{116 * f[1] - 16, 500 * (f[0] - f[1]), 200 * (f[1] - f[2])};
    };
    const auto p = lab(a), q = lab(b);
    return std::hypot(p[0] - q[0], p[1] - q[1], p[2] - q[2]);
}

struct ByValue {
    bool operator()(Rgba a, Rgba b) const {
        return std::tie(a.r, a.g, a.b, a.a) < std::tie(b.r, b.g, b.b, b.a);
    }
};
using ColourCounts = std::map<Rgba, int, ByValue>;
using ColourSet = std::set<Rgba, ByValue>;

class LegibilityTest : public AtlasTest {
protected:
    // How often each fully opaque colour occurs in a tile.
    ColourCounts colours(const std::string& name) const {
        const Tile& t = gameByName.at(name);
        ColourCounts counts;
        for (int y = t.y; y < t.y + t.h; ++y) {
            for (int x = t.x; x < t.x + t.w; ++x) {
                const Rgba c = gameImage.at(x, y);
                if (c.a == 255) {
                    ++counts[c];
                }
            }
        }
        return counts;
    }

    // The most frequent opaque colour of a tile, leaving out the given ones.
    Rgba mainColour(const std::string& name, const ColourSet& leaveOut = {}) const {
        Rgba best{};
        int most = 0;
        for (const auto& [c, n] : colours(name)) {
            if (n > most && !leaveOut.count(c)) {
                best = c;
                most = n;
            }
        }
        EXPECT_GT(most, 0) << name;
        return best;
    }

    Rgba uiPixel(int x, int y) const {
        const Tile& ui = gameByName.at("UI");
        return gameImage.at(ui.x + x, ui.y + y);
    }
    Rgba panelColour() const { return uiPixel(kPanelMiddle[0], kPanelMiddle[1]); }

    // The pixels of a tile that show on a background of the given colour.
    std::set<std::pair<int, int>> silhouette(const std::string& name, Rgba background) const {
        const Tile& t = gameByName.at(name);
        std::set<std::pair<int, int>> shown;
        for (int y = 0; y < t.h; ++y) {
            for (int x = 0; x < t.w; ++x) {
                const Rgba c = gameImage.at(t.x + x, t.y + y);
                if (c.a != 0 &&
                    !(c.r == background.r && c.g == background.g && c.b == background.b)) {
                    shown.insert({x - t.cx, y - t.cy});
                }
            }
        }
        return shown;
    }
};

TEST_F(LegibilityTest, LitAndEmptyScorePipsShowTheSameShapeOnThePanel) {
    const auto lit = silhouette("SCORE_ON", panelColour());
    const auto empty = silhouette("SCORE_OFF", panelColour());
    EXPECT_FALSE(lit.empty());
    EXPECT_EQ(lit, empty);
}

TEST_F(LegibilityTest, EachPlayerHasOneDisplayColourThatStandsOutOnThePanel) {
    const Rgba panel = panelColour();
    for (int n = 1; n <= 4; ++n) {
        const std::string p = std::to_string(n);
        // The portrait and its number, less the outlines that are the panel's own colour.
        const Rgba colour = mainColour("PLAYER_NUMBER_" + p, {panel});
        EXPECT_GE(contrast(colour, panel), kLegibleOnPanel) << "player " << n;
        EXPECT_EQ(uiPixel(120 * (n - 1) + kPanelMiddle[0], kStripeRow), colour) << "stripe " << n;
        EXPECT_TRUE(colours("PLAYER_JOIN_LIGHT_" + p).count(colour)) << "join prompt " << n;
        EXPECT_TRUE(colours("MATCH_POINT_HORIZ_P" + p + "_2").count(colour)) << "beam " << n;
        for (int m = 1; m < n; ++m) {
            EXPECT_GE(
                labDistance(colour, mainColour("PLAYER_NUMBER_" + std::to_string(m), {panel})),
                kDistinctColours)
                << n << " and " << m;
        }
    }
}

TEST_F(LegibilityTest, InvulnerableTintsDifferFromEachOtherAndTheMacGuffinAndReadOnTheSky) {
    // What all four invulnerable figures share (outline, eyes, halo) is not their tint.
    ColourSet shared;
    for (const auto& [c, count] : colours("PLAYER_1_SUPERUP_RIGHT")) {
        bool everywhere = true;
        for (int n = 2; n <= 4; ++n) {
            everywhere =
                everywhere && colours("PLAYER_" + std::to_string(n) + "_SUPERUP_RIGHT").count(c);
        }
        if (everywhere) {
            shared.insert(c);
        }
    }
    const Rgba macGuffin = mainColour("MACGUFFIN");
    std::vector<Rgba> tints;
    for (int n = 1; n <= 4; ++n) {
        const Rgba tint = mainColour("PLAYER_" + std::to_string(n) + "_SUPERUP_RIGHT", shared);
        EXPECT_GE(contrast(tint, kSky), kLegibleOnSky) << "player " << n;
        EXPECT_GE(labDistance(tint, macGuffin), kDistinctColours) << "player " << n;
        for (std::size_t m = 0; m < tints.size(); ++m) {
            EXPECT_GE(labDistance(tint, tints[m]), kDistinctColours) << n << " and " << m + 1;
        }
        tints.push_back(tint);
    }
}

TEST_F(LegibilityTest, MatchPointBeamsStandOutWhereTheMacGuffinsArePale) {
    for (int n = 1; n <= 4; ++n) {
        for (const char* k : {"_2", "_3"}) {
            const std::string p = "P" + std::to_string(n) + k;
            for (const std::string dir : {"HORIZ_", "VERT_"}) {
                double strongest = 0;
                for (const auto& [c, count] : colours("MATCH_POINT_" + dir + p)) {
                    strongest = std::max(strongest, contrast(c, kSky));
                }
                EXPECT_GE(strongest, kBeamOnSky) << dir << p;
            }
        }
    }
}

TEST_F(LegibilityTest, RainAndSparklesShowOnTheSky) {
    std::vector<std::string> names = {"RAIN_LIGHT", "RAIN_DARK"};
    for (int k = 1; k <= 7; ++k) {
        names.push_back("SPARKLE_" + std::to_string(k));
    }
    for (const std::string& name : names) {
        double strongest = 0;
        for (const auto& [c, count] : colours(name)) {
            strongest = std::max(strongest, contrast(c, kSky));
        }
        EXPECT_GE(strongest, kVisibleOnSky) << name;
    }
}

TEST_F(LegibilityTest, TheCrownsPiecesAssembleIntoTheWholeCrown) {
    const Tile& crown = gameByName.at("CROWN");
    std::map<std::pair<int, int>, Rgba> assembled;
    for (int k = 1; k <= 10; ++k) {
        const Tile& piece = gameByName.at("CROWN_PIECE_" + std::to_string(k));
        for (int y = 0; y < piece.h; ++y) {
            for (int x = 0; x < piece.w; ++x) {
                // Where this pixel lands relative to the point both are drawn at.
                const std::pair<int, int> at{x - piece.cx, y - piece.cy};
                EXPECT_FALSE(assembled.count(at)) << "pieces overlap at piece " << k;
                assembled[at] = gameImage.at(piece.x + x, piece.y + y);
            }
        }
    }
    EXPECT_EQ(assembled.size(), static_cast<std::size_t>(crown.w * crown.h));
    for (int y = 0; y < crown.h; ++y) {
        for (int x = 0; x < crown.w; ++x) {
            const auto found = assembled.find({x - crown.cx, y - crown.cy});
            ASSERT_NE(found, assembled.end()) << x << "," << y;
            EXPECT_EQ(found->second, gameImage.at(crown.x + x, crown.y + y)) << x << "," << y;
        }
    }
}

} // namespace
