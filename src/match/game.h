#pragma once
// The one screen: the playfield (clouds, the MacGuffin, heroes, particles) and the title that
// covers it between matches. State and flow live in game.cpp, the per-step update in
// game_update.cpp, drawing and the HUD in game_draw.cpp.
// Game::update is not the only writer: the rules of the match live with the heroes. A hero's
// update (actors/hero.cpp) bounces other heroes, hits clouds and catches the MacGuffin; its
// score rules (actors/hero_score.cpp) keep the score, the crown, the rainbow, falls and the win,
// set the shake and the slow motion, add particles and count catches, falls and wins in tally.
#include "effects/trail_particle.h"
#include "match/board.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace zindle {

class Cloud;
class Hero;
class MacGuffin;
class Sound;
class Tiler;

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
    // [draws random] One number per frame for the screen shake, and more through the heroes'
    // and particles' drawing: how often frames are drawn changes the match.
    void draw(Graphics& graphics) override;
    void onInput(int device, int key, int state, bool ctrl) override;
    Game* match() override { return this; }
    virtual void spawnHero(int player);
    // Hands player slot 0 to 3 to the computer, or takes it back; other numbers change nothing.
    // CTRL with the player's number calls it, and so do tools that set computer players up.
    void toggleComputerPlayer(int player);
    // Whether a hero of player is in the game.
    bool hasHero(int player) const;

    std::vector<std::shared_ptr<Hero>> heroes;
    std::vector<std::unique_ptr<Cloud>> clouds;
    std::unique_ptr<MacGuffin> macGuffin;
    ParticleList trails;
    ParticleList sparkles;
    // What a particle may add to while it updates.
    ParticleLists particleLists() { return {trails, sparkles}; }
    double boardTime = 0;
    std::vector<bool> aiFlags;
    double shake = 0;
    double titleAlpha = 1;
    double gameTimeout = 1;
    double slomo = 0;
    // The slot of the last winner until somebody joins again, -1 otherwise: only the display
    // reads it, to say who won while nobody plays on.
    int lastWinner = -1;
    // Player slots steered on another machine (seats of other peers in an online match), a bit
    // each: their panels leave out this keyboard's steering keys. Only the display reads it.
    std::uint8_t slotsSteeredElsewhere = 0;
    // Whose steering keys each slot's panel shows: in an online match a guest's first keyboard
    // player may sit in slot 3, and the arrows, not slot 3's keys, steer it. Only the display
    // reads it.
    std::array<std::int8_t, 4> keyCapsOfSlot = {0, 1, 2, 3};

    // What the heroes' rules have seen since this Game was made, counted where they act
    // (hero_score.cpp). The game never reads them; the tools and tests do. A winning catch
    // counts as a catch and as a win; a fall counts whether or not a life was left.
    struct Tally {
        std::int64_t catches = 0;
        std::int64_t falls = 0;
        std::int64_t wins = 0;
    };
    Tally tally;

    // What the title tells the player to press: the desktop's keys; a web page's, where ESC
    // ends the game instead of quitting; or a tap on a touch screen. Set by the process entry
    // (and by the page when it is touched); only the title's drawing reads it.
    enum class TitleHints { Desktop, Page, Touch };
    static TitleHints titleHints;

    static std::unique_ptr<Tiler> tiler;
    static std::unique_ptr<Tiler> titleTiler;
    static std::shared_ptr<Sound> gameMusic;
    static std::shared_ptr<Sound> menuMusic;
};

} // namespace zindle
