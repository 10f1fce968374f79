#pragma once
// One player's character: thrown up from the bottom edge, falls under gravity, steered left and
// right by its paddle or the computer, bounces off clouds and heroes, catches the MacGuffin.
// Movement and contacts live in hero.cpp, score and lives in hero_score.cpp, computer control
// in hero_ai.cpp and drawing in hero_draw.cpp.
#include "effects/entity.h"

#include <memory>

namespace zindle {

class Game;
class Tiler;

// Shared: a HeroSparkle keeps its hero alive after the hero has left the game.
class Hero : public Entity, public std::enable_shared_from_this<Hero> {
public:
    // Respawns at the player's start point and plays the spawn sound.
    explicit Hero(int player);
    // Every field at its default, for code that fills in a saved state: no respawn, no sound.
    struct Unspawned {};
    Hero(int player, Unspawned) : player(player) {}

    virtual void respawn();
    // One step; false when the hero leaves the game (fell with no lives left, or won).
    virtual bool update(double dt, Game& game);
    virtual void setScore(int score, Game& game);
    // [vestige] Nothing reads a hero's size: contacts use their own reaches (hero.cpp).
    virtual int getWidth() const { return 10; }
    virtual int getHeight() const { return 10; }
    // [draws random] The flare's flicker and the forming crown's fragments take numbers from the
    // game's one random stream, so how often frames are drawn changes the match.
    virtual void drawFlare(Tiler& tiler) const;
    virtual void draw(Tiler& tiler) const;
    virtual void drawUI(Tiler& tiler, const Game& game) const;

    int player;
    int lives = 2;
    int facing = 0; // [vestige] never set; drawing takes the facing from the paddle
    double dx = 0;
    double dy = 0;
    bool invulnerable = false;
    double hueDir = 1;
    int spawnX = 0;
    int spawnY = 0;
    int score = 0;
    int highScore = 0;
    bool hasRainbow = false;
    double rainbowCooldown = 0;
    double sparkleCooldown = 0;
    bool hasCrown = false;
    double crowniness = 0;
    double aiThinkCooldown = 0;
    double aiDesiredDx = 0;

private:
    // The steps of update, in the files that own them.
    bool isComputerControlled(const Game& game) const;
    void think(double dt, const Game& game); // hero_ai.cpp
    void touchHeroes(Game& game);
    void touchClouds(Game& game);
    bool canCatch(const Game& game) const;
    bool fall(Game& game);           // hero_score.cpp; false when no life was left
    bool catchMacGuffin(Game& game); // false when the catch wins
    void win(Game& game);
    void stampRainbow(double dt, Game& game);
    void emitSparkles(double dt, Game& game);
    void growCrown(double dt);
    // The player's paddle faces left (hero_draw.cpp); false for a player without a paddle.
    bool facesLeft() const;
};

} // namespace zindle
