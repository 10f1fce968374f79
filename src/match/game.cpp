// The board's state and flow: the class-level tilers and music, the cloud field laid out at
// construction, joining, computer-player switches and ESC.
#include "match/game.h"

#include "actors/cloud.h"
#include "actors/hero.h"
#include "base/rules.h"
#include "effects/mac_guffin.h"
#include "effects/trail_particle.h"
#include "framework/assets.h"
#include "framework/lib.h"
#include "framework/random.h"
#include "framework/sound.h"
#include "input/input.h"
#include "render/tiler.h"

#include <cmath>

namespace zindle {

namespace {

constexpr const char* kGameTiles = "assets/gametiles";
constexpr const char* kTitleTiles = "assets/title";
constexpr const char* kGameMusicPath =
    "assets/Orbwright-Velvetdusk-08Brightloop(featuringQuietharbor).mp3";
constexpr const char* kMenuMusicPath = "assets/Orbwright-Velvetdusk-16TakeThisOne.mp3";

// The cloud field: five columns of three rows, on a grid of 4-pixel cells.
constexpr int kCloudColumns = 5;
constexpr int kCloudRows = 3;
constexpr int kCloudSizeClasses = 5;     // sizes run 0..4 in creation order
constexpr double kCloudGridPx = 4;       // px per grid cell
constexpr double kCloudRowTop = 20;      // cells from the top to the first row
constexpr double kCloudRowPitch = 15;    // cells between rows
constexpr double kCloudRowJitter = 15;   // cells of random drop within a row
constexpr double kCloudColumnLeft = 15;  // cells from the left to the first column
constexpr double kCloudColumnPitch = 18; // cells between columns
constexpr double kCloudColumnJitter = 18;

} // namespace

Game::TitleHints Game::titleHints = Game::TitleHints::Desktop;
std::unique_ptr<Tiler> Game::tiler;
std::unique_ptr<Tiler> Game::titleTiler;
std::shared_ptr<Sound> Game::gameMusic;
std::shared_ptr<Sound> Game::menuMusic;

void Game::init() {
    tiler = std::make_unique<Tiler>(kGameTiles);
    titleTiler = std::make_unique<Tiler>(kTitleTiles);
    gameMusic = Assets::getSound(kGameMusicPath);
    menuMusic = Assets::getSound(kMenuMusicPath);
}

void Game::reset() {
    titleHints = TitleHints::Desktop;
    tiler.reset();
    titleTiler.reset();
    gameMusic.reset();
    menuMusic.reset();
}

Game::Game() {
    // The random numbers are drawn y before x, cloud after cloud, all before the MacGuffin's.
    for (int a = 0; a < kCloudColumns; ++a) {
        for (int i = 0; i < kCloudRows; ++i) {
            const int n = kCloudRows * a + i;
            const double r1 = random();
            const int y =
                static_cast<int>(kCloudGridPx * std::floor(kCloudRowTop + kCloudRowPitch * i +
                                                           kCloudRowJitter * r1));
            const double r2 = random();
            const int x = static_cast<int>(
                kCloudGridPx *
                std::floor(kCloudColumnLeft + kCloudColumnPitch * a + kCloudColumnJitter * r2));
            clouds.push_back(std::make_unique<Cloud>(x, y, n % kCloudSizeClasses));
        }
    }
    macGuffin = std::make_unique<MacGuffin>();
    aiFlags.assign(rules::kPlayers, false);
}

Game::~Game() = default;

bool Game::hasHero(int player) const {
    for (const auto& hero : heroes) {
        if (hero->player == player) {
            return true;
        }
    }
    return false;
}

void Game::spawnHero(int player) {
    lastWinner = -1;
    heroes.push_back(std::make_shared<Hero>(player));
}

void Game::onInput(int /*device*/, int key, int state, bool ctrl) {
    if (state != Input::DOWN) {
        return;
    }
    if (key == Input::P1START || key == Input::P2START || key == Input::P3START ||
        key == Input::P4START) {
        const int player = (key - Input::P1START) / (Input::P2START - Input::P1START);
        if (!hasHero(player)) {
            spawnHero(player);
        }
    }
    if (key == Input::ESC) {
        heroes.clear();
        gameTimeout = 1;
        for (int p = 0; p < rules::kPlayers && p < static_cast<int>(aiFlags.size()); ++p) {
            aiFlags[p] = false;
        }
        if (titleAlpha == 1) {
            System::exit(0);
        }
    }
    if (ctrl && key >= Input::P1AI && key <= Input::P4AI) {
        toggleComputerPlayer(key - Input::P1AI);
    }
}

void Game::toggleComputerPlayer(int player) {
    if (player >= 0 && static_cast<std::size_t>(player) < aiFlags.size()) {
        aiFlags[static_cast<std::size_t>(player)] = !aiFlags[static_cast<std::size_t>(player)];
    }
}

} // namespace zindle
