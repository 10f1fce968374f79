#pragma once
// The one screen: the playfield (clouds, the MacGuffin, heroes, particles) and the title that
// covers it between matches. State and flow live in game.cpp, the per-step update in
// game_update.cpp, drawing and the HUD in game_draw.cpp.
#include "app/board.h"

#include <memory>
#include <vector>

namespace zindle {

class Cloud;
class Hero;
class MacGuffin;
class Sound;
class Tiler;
class TrailParticle;

class Game : public Board {
public:
    // Loads both tilers and both music tracks. Called once, before the first Game is made.
    static void init();
    // Forgets the class-level state (tests).
    static void reset();

    // Lays out the fifteen clouds and makes the MacGuffin.
    Game();
    ~Game() override;

    void update(double dt) override;
    void draw(Graphics& graphics) override;
    void onInput(int device, int key, int state, bool ctrl) override;
    virtual void spawnHero(int player);

    std::vector<std::shared_ptr<Hero>> heroes;
    std::vector<std::unique_ptr<Cloud>> clouds;
    std::unique_ptr<MacGuffin> macGuffin;
    std::vector<std::unique_ptr<TrailParticle>> trails;
    std::vector<std::unique_ptr<TrailParticle>> sparkles;
    double boardTime = 0;
    std::vector<bool> aiFlags;
    double shake = 0;
    double titleAlpha = 1;
    double gameTimeout = 1;
    double slomo = 0;
    // The slot of the last winner until somebody joins again, -1 otherwise: only the display
    // reads it, to say who won while nobody plays on.
    int lastWinner = -1;

    static std::unique_ptr<Tiler> tiler;
    static std::unique_ptr<Tiler> titleTiler;
    static std::shared_ptr<Sound> gameMusic;
    static std::shared_ptr<Sound> menuMusic;
};

} // namespace zindle
