// A hero's three layers: the flare and beams behind everything, the figure with its crown, and
// the arrow at the screen edge while it is off screen. Tile names come from tables built once,
// since drawing runs every frame.
#include "actors/hero.h"

#include "base/rules.h"
#include "framework/portable_math.h"
#include "framework/random.h"
#include "input/input.h"
#include "match/game.h"
#include "render/drawing_options.h"
#include "render/text_line.h"
#include "render/tiler.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <string>
#include <string_view>

namespace zindle {

namespace {

constexpr double kUpPoseBelowDy = -0.5;  // px per step; rising faster shows "_UP"
constexpr double kDownPoseFromDy = 0.75; // px per step; falling this fast shows "_DOWN"

constexpr double kCrownLiftPerDy = 10; // px the crown trails a falling hero, per px per step
constexpr int kCrownFragments = 10;
constexpr double kCrownFragmentOdds = 5;   // times crowniness: chance a fragment shows
constexpr double kCrownRingPx = 16;        // ring half-width when the crown starts to form
constexpr double kCrownRingFlatness = 0.4; // its half-height, as a share of the half-width
constexpr double kCrownRingDropPx = 10; // the forming ring sits this much lower, times crowniness

constexpr int kFlareScoreCap = 5;

constexpr double kOffTop = -10;    // px; beyond these the hero gets an arrow
constexpr double kOffBottom = 285; // px, the top of the display strip
constexpr double kOffLeft = -10;
constexpr double kOffRight = 490;
constexpr double kArrowMinX = 10;
constexpr double kArrowMaxX = 470;
constexpr double kArrowMinY = 10;
constexpr double kArrowMaxY = 265;
constexpr double kAlertBlinksPerSecond = 5;
constexpr double kMarkerAbovePx = 25; // the marker's top, above the hero's centre: over a crown
constexpr std::array<std::string_view, rules::kPlayers> kMarkerDigits = {"1", "2", "3", "4"};

enum Pose { kSuperUp, kUp, kFloat, kDown, kPoses };
constexpr std::array<std::string_view, kPoses> kPoseNames = {"_SUPERUP", "_UP", "_FLOAT", "_DOWN"};
constexpr std::array<std::string_view, 2> kSideNames = {"_LEFT", "_RIGHT"};
constexpr std::array<std::string_view, 3> kVerticalNames = {"", "_UP", "_DOWN"};
constexpr std::array<std::string_view, 3> kHorizontalNames = {"", "_LEFT", "_RIGHT"};
// The crown's pieces, each drawn where it sits in the whole crown plus its ring offset.
constexpr std::array<std::string_view, kCrownFragments> kCrownPieceNames = {
    "CROWN_PIECE_1", "CROWN_PIECE_2", "CROWN_PIECE_3", "CROWN_PIECE_4", "CROWN_PIECE_5",
    "CROWN_PIECE_6", "CROWN_PIECE_7", "CROWN_PIECE_8", "CROWN_PIECE_9", "CROWN_PIECE_10"};
constexpr std::array<std::string_view, 6> kFlareNames = {"FLARE_1", "FLARE_2", "FLARE_3",
                                                         "FLARE_4", "FLARE_5", "FLARE_6"};

// "PLAYER_" n pose side, indexed [player][pose][side].
using FigureTable = std::array<std::array<std::array<std::string, 2>, kPoses>, rules::kPlayers>;
const FigureTable& figureNames() {
    static const FigureTable table = [] {
        FigureTable t;
        for (int p = 0; p < rules::kPlayers; ++p) {
            for (int pose = 0; pose < kPoses; ++pose) {
                for (int side = 0; side < 2; ++side) {
                    t[p][pose][side] = "PLAYER_" + std::to_string(p + 1) +
                                       std::string(kPoseNames[pose]) +
                                       std::string(kSideNames[side]);
                }
            }
        }
        return t;
    }();
    return table;
}

// The beams of a hero one catch from winning, in its own colours so that they cannot be taken
// for the MacGuffin's arrival: "MATCH_POINT_" direction "_P" n "_" k, indexed [player][k - 2],
// k 3 while the flare flickers.
struct MatchPointBeams {
    std::array<std::array<std::string, 2>, rules::kPlayers> horizontal, vertical;
};
const MatchPointBeams& matchPointNames() {
    static const MatchPointBeams table = [] {
        MatchPointBeams t;
        for (int p = 0; p < rules::kPlayers; ++p) {
            for (int k = 0; k < 2; ++k) {
                const std::string suffix =
                    "_P" + std::to_string(p + 1) + "_" + std::to_string(k + 2);
                t.horizontal[p][k] = "MATCH_POINT_HORIZ" + suffix;
                t.vertical[p][k] = "MATCH_POINT_VERT" + suffix;
            }
        }
        return t;
    }();
    return table;
}

// "ARROW_P" n vertical horizontal, indexed [player][vertical][horizontal].
using ArrowTable = std::array<std::array<std::array<std::string, 3>, 3>, rules::kPlayers>;
const ArrowTable& arrowNames() {
    static const ArrowTable table = [] {
        ArrowTable t;
        for (int p = 0; p < rules::kPlayers; ++p) {
            for (int v = 0; v < 3; ++v) {
                for (int h = 0; h < 3; ++h) {
                    t[p][v][h] = "ARROW_P" + std::to_string(p + 1) +
                                 std::string(kVerticalNames[v]) + std::string(kHorizontalNames[h]);
                }
            }
        }
        return t;
    }();
    return table;
}

bool isPlayerSlot(int player) {
    return player >= 0 && player < rules::kPlayers;
}

} // namespace

bool Hero::facesLeft() const {
    const Paddle* paddle = Input::paddle(player);
    return paddle && paddle->getFacing() == -1;
}

void Hero::draw(Tiler& tiler) const {
    if (isPlayerSlot(player)) {
        const Pose pose = invulnerable           ? kSuperUp
                          : dy < kUpPoseBelowDy  ? kUp
                          : dy < kDownPoseFromDy ? kFloat
                                                 : kDown;
        const int side = facesLeft() ? 0 : 1;
        tiler.drawTile(figureNames()[player][pose][side], x, y);
        if (DrawingOptions::highContrast)
            text_line::drawCentred(tiler, kMarkerDigits[static_cast<std::size_t>(player)], x,
                                   y - kMarkerAbovePx);
    }
    if (crowniness <= 0) {
        return;
    }
    const double cy = y - std::max(dy, 0.0) * kCrownLiftPerDy;
    if (crowniness == 1) {
        tiler.drawTile("CROWN", x, cy);
        return;
    }
    // The crown's pieces converge on the head from a shrinking flat ring, flickering while
    // faint; each comes from the side of the crown it belongs to, so that they stay close to
    // the crown's row and assemble into one crown.
    const double radius = (1 - crowniness) * kCrownRingPx;
    for (int i = 0; i < kCrownFragments; ++i) {
        const bool shown = random() < crowniness * kCrownFragmentOdds;
        if (shown || DrawingOptions::reducedMotion) {
            const double a = 2 * std::numbers::pi / kCrownFragments * i;
            tiler.drawTile(
                kCrownPieceNames[static_cast<std::size_t>(i)], x + portableSin(a) * radius,
                cy + portableCos(a) * radius * kCrownRingFlatness + crowniness * kCrownRingDropPx);
        }
    }
}

void Hero::drawFlare(Tiler& tiler) const {
    // The number is taken whether or not the flare may flicker.
    const bool flicker = score > 1 && random() < 0.5 && !DrawingOptions::reducedMotion;
    if (score >= rules::kOneCatchFromWinning && isPlayerSlot(player)) {
        const std::size_t k = flicker ? 1 : 0;
        tiler.drawTile(matchPointNames().horizontal[player][k], 0, y);
        tiler.drawTile(matchPointNames().vertical[player][k], x, 0);
    }
    const int n = std::min(score, kFlareScoreCap) + (flicker ? 1 : 0);
    if (n > 0 && static_cast<std::size_t>(n) <= kFlareNames.size()) {
        tiler.drawTile(kFlareNames[static_cast<std::size_t>(n - 1)], x, y);
    }
}

void Hero::drawUI(Tiler& tiler, const Game& game) const {
    const int vertical = y < kOffTop ? 1 : y > kOffBottom ? 2 : 0;
    const int horizontal = x < kOffLeft ? 1 : x > kOffRight ? 2 : 0;
    if ((vertical == 0 && horizontal == 0) || !isPlayerSlot(player)) {
        return;
    }
    const double ax = std::clamp(x, kArrowMinX, kArrowMaxX);
    const double ay = std::clamp(y, kArrowMinY, kArrowMaxY);
    tiler.drawTile(arrowNames()[player][vertical][horizontal], ax, ay);
    // Warns while the hero is falling towards the bottom, blinking.
    const bool alert = y > kOffBottom && dy > 0 &&
                       (DrawingOptions::reducedMotion ||
                        std::fmod(game.boardTime * kAlertBlinksPerSecond, 1.0) < 0.5);
    if (alert) {
        tiler.drawTile("ALERT", ax, ay);
    }
}

} // namespace zindle
