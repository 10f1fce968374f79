// One frame of the board: the shaken playfield, the display strip with a panel per player slot,
// and between matches the title, whose halves slide apart as it opens.
#include "match/game.h"

#include "actors/cloud.h"
#include "actors/hero.h"
#include "base/rules.h"
#include "effects/mac_guffin.h"
#include "effects/trail_particle.h"
#include "framework/graphics.h"
#include "framework/random.h"
#include "match/panel_strip.h"
#include "render/drawing_options.h"
#include "render/tiler.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <string_view>

namespace zindle {

namespace {

constexpr double kShakeAmplitudePx = 10; // at shake 1; the jolt fades with shake squared

constexpr double kStripX = panel_strip::kLeft; // the display strip along the bottom edge
constexpr double kStripY = panel_strip::kTop;
constexpr double kPanelWidthPx = panel_strip::kPanelWidth; // one panel per player slot
constexpr double kPanelNumberDx = 12; // the player number, from the panel's left edge
constexpr double kPanelNumberY = 284;
constexpr double kPanelCrownDx = 19;
constexpr double kPanelCrownY = 296;     // where the finished crown sits
constexpr double kPanelCrownDropPx = 50; // how far below that it starts to rise
constexpr double kPanelPipDx = 39;       // the first score pip
constexpr double kPanelPipPitch = 15;
constexpr double kPanelPipY = 290;
constexpr double kPipBlinksPerSecond = 3; // of game time, once the next catch wins
constexpr double kPipBlinkLag = 0.1;      // of a cycle, each pip behind its left neighbour
constexpr double kPanelWinnerDx = 69;     // the winner's word, centred where the pips go
constexpr double kPanelJoinDx = 21;       // the join prompt
constexpr double kJoinBlinksPerSecond = 140.0 / 120.0;
constexpr double kStartBlinksPerSecond = 95.0 / 120.0;

constexpr double kTitleUpperTravelPx = 183; // the upper half leaves upwards
constexpr double kTitleLowerTravelPx = 137; // the lower half downwards: 320 together

constexpr std::array<std::string_view, rules::kPlayers> kPlayerNumberTiles = {
    "PLAYER_NUMBER_1", "PLAYER_NUMBER_2", "PLAYER_NUMBER_3", "PLAYER_NUMBER_4"};
constexpr std::array<std::string_view, rules::kPlayers> kKeyCapsTiles = {
    "KEY_CAPS_1", "KEY_CAPS_2", "KEY_CAPS_3", "KEY_CAPS_4"};
constexpr std::array<std::string_view, rules::kPlayers> kJoinLightTiles = {
    "PLAYER_JOIN_LIGHT_1", "PLAYER_JOIN_LIGHT_2", "PLAYER_JOIN_LIGHT_3", "PLAYER_JOIN_LIGHT_4"};
constexpr std::array<std::string_view, rules::kPlayers> kJoinDarkTiles = {
    "PLAYER_JOIN_DARK_1", "PLAYER_JOIN_DARK_2", "PLAYER_JOIN_DARK_3", "PLAYER_JOIN_DARK_4"};

double frac(double v) {
    return v - std::floor(v);
}

void drawPanel(Tiler& tiler, const Hero& hero, int slot, double boardTime) {
    const double left = kPanelWidthPx * slot;
    tiler.drawTile(kPlayerNumberTiles[static_cast<std::size_t>(slot)], left + kPanelNumberDx,
                   kPanelNumberY);
    if (hero.crowniness > 0) {
        const double rest = 1 - hero.crowniness;
        tiler.drawTile("CROWN", left + kPanelCrownDx,
                       kPanelCrownY + kPanelCrownDropPx * rest * rest);
    }
    for (int i = 0; i < rules::kOneCatchFromWinning; ++i) {
        // Once the next catch wins, all pips blink in a wave instead of counting.
        const bool lit = hero.score >= rules::kOneCatchFromWinning
                             ? frac((rules::kOneCatchFromWinning - 1 - i) * kPipBlinkLag +
                                    kPipBlinksPerSecond * boardTime) <= 0.5
                             : i < hero.score;
        tiler.drawTile(lit ? "SCORE_ON" : "SCORE_OFF", left + kPanelPipDx + kPanelPipPitch * i,
                       kPanelPipY);
    }
}

// After a win with nobody playing on, the winner's panel keeps its portrait, crowned, and
// says who won until somebody joins.
void drawWinnerPanel(Tiler& tiler, int slot) {
    const double left = kPanelWidthPx * slot;
    tiler.drawTile(kPlayerNumberTiles[static_cast<std::size_t>(slot)], left + kPanelNumberDx,
                   kPanelNumberY);
    tiler.drawTile("CROWN", left + kPanelCrownDx, kPanelCrownY);
    tiler.drawTile("WINNER", left + kPanelWinnerDx, kPanelPipY);
}

void drawTitle(Tiler& titleTiler, double titleAlpha, double boardTime) {
    using Hints = Game::TitleHints;
    // In a page, the keys' line says what ESC does there; it goes with the lower half.
    const bool inPage = Game::titleHints != Hints::Desktop;
    if (titleAlpha == 1) {
        titleTiler.drawTile("TITLE", 0, 0);
        if (inPage)
            titleTiler.drawTile("KEYS_IN_PAGE", 0, 0);
        const bool bright = frac(boardTime * kStartBlinksPerSecond) < 0.5;
        if (Game::titleHints == Hints::Touch)
            titleTiler.drawTile(bright ? "START_TOUCH_BRIGHT" : "START_TOUCH_DARK", 0, 0);
        else
            titleTiler.drawTile(bright ? "START_BRIGHT" : "START_DARK", 0, 0);
        return;
    }
    // Smooth at both ends: 0 while shown, 1 once open.
    const double a = titleAlpha;
    const double e = 1 - (3 - 2 * a) * a * a;
    titleTiler.drawTile("TITLE_UPPER", 0, -kTitleUpperTravelPx * e);
    titleTiler.drawTile("UPPER_BORDER", 0, -kTitleUpperTravelPx * e);
    titleTiler.drawTile("TITLE_LOWER", 0, kTitleLowerTravelPx * e);
    if (inPage)
        titleTiler.drawTile("KEYS_IN_PAGE", 0, kTitleLowerTravelPx * e);
    titleTiler.drawTile("LOWER_BORDER", 0, kTitleLowerTravelPx * e);
}

} // namespace

void Game::draw(Graphics& graphics) {
    graphics.clear();
    if (tiler) {
        Tiler& t = *tiler;
        t.beginDraw();
        // One number per frame whatever the shake, so that the sequence does not depend on it.
        const double r = random();
        const double amplitude = DrawingOptions::reducedMotion ? 0 : kShakeAmplitudePx;
        t.scrollY = shake * shake * (2 * r - 1) * amplitude;

        for (std::size_t i = 0; i < heroes.size(); ++i) {
            heroes[i]->drawFlare(t);
        }
        for (std::size_t i = 0; i < trails.size(); ++i) {
            trails[i]->draw(t);
        }
        for (std::size_t i = 0; i < heroes.size(); ++i) {
            heroes[i]->draw(t);
        }
        // Clouds cover the heroes.
        for (std::size_t i = 0; i < clouds.size(); ++i) {
            clouds[i]->draw(t);
        }
        if (macGuffin) {
            macGuffin->draw(t);
        }
        for (std::size_t i = 0; i < sparkles.size(); ++i) {
            sparkles[i]->draw(t);
        }

        // The display does not shake.
        t.scrollY = 0;
        for (std::size_t i = 0; i < heroes.size(); ++i) {
            heroes[i]->drawUI(t, *this);
        }
        t.drawTile("UI", kStripX, kStripY);
        for (int slot = 0; slot < static_cast<int>(kPlayerNumberTiles.size()); ++slot) {
            const bool elsewhere = (slotsSteeredElsewhere & (1u << slot)) != 0;
            const int keys = keyCapsOfSlot[static_cast<std::size_t>(slot)];
            if (!elsewhere && keys >= 0 && keys < static_cast<int>(kKeyCapsTiles.size()))
                t.drawTile(kKeyCapsTiles[static_cast<std::size_t>(keys)], kPanelWidthPx * slot,
                           kStripY);
            bool joined = false;
            for (std::size_t i = 0; i < heroes.size(); ++i) {
                if (heroes[i]->player == slot) {
                    drawPanel(t, *heroes[i], slot, boardTime);
                    joined = true;
                }
            }
            if (!joined && heroes.empty() && slot == lastWinner) {
                drawWinnerPanel(t, slot);
            } else if (!joined && !elsewhere) {
                // A seat another machine holds is nobody's here to join.
                const bool light = frac(boardTime * kJoinBlinksPerSecond) < 0.5;
                const auto& names = light ? kJoinLightTiles : kJoinDarkTiles;
                t.drawTile(names[static_cast<std::size_t>(slot)],
                           kPanelWidthPx * slot + kPanelJoinDx, kPanelNumberY);
            }
        }
        t.endDraw(graphics);
    } else {
        random(); // keep the one number per frame even with nothing to draw
    }

    if (titleAlpha > 0 && titleTiler) {
        titleTiler->beginDraw();
        drawTitle(*titleTiler, titleAlpha, boardTime);
        titleTiler->endDraw(graphics);
    }
}

} // namespace zindle
