#pragma once
// A match's whole state as plain data, apart from the objects that play it: what a match
// snapshot holds and what its bytes carry. match_snapshot.cpp fills it from a game and puts it
// back; match_state_codec.cpp turns it into bytes and back.
#include "effects/particle_kind.h"
#include "framework/random.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zindle {

struct HeroState {
    double x = 0;
    double y = 0;
    int player = 0;
    int lives = 0;
    int facing = 0;
    double dx = 0;
    double dy = 0;
    bool invulnerable = false;
    double hueDir = 0;
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
};

struct CloudState {
    double x = 0;
    double y = 0;
    int x0 = 0;
    int y0 = 0;
    int x1 = 0;
    int y1 = 0;
    double hitCooldown = 0;
    int size = 0;
};

struct FlareState {
    double x = 0;
    double y = 0;
    int frame = 0;
    int frameCooldown = 0;
};

struct MacGuffinState {
    double x = 0;
    double y = 0;
    int state = 0;
    double stateCooldown = 0;
    std::vector<FlareState> flares;
};

// The fields every particle has; each kind adds its own.
struct ParticleState {
    double x = 0;
    double y = 0;
    double life = 0;
    double initialLife = 0;
};
struct MovingParticleState : ParticleState { // rain, MacGuffin drops, simple sparkles
    double dx = 0;
    double dy = 0;
};
struct PictureParticleState : ParticleState { // rainbow bands, the winner's rising picture
    std::string frame;
};
struct WinParticleState : MovingParticleState {
    double rainbowCooldown = 0;
    double sparkleCooldown = 0;
};
struct HeroSparkleState : ParticleState {
    std::int32_t owner = -1; // into ParticlesState::owners; -1 for none
};

// Whom hero sparkles follow: a hero in the game's list, a hero that has left (kept in
// MatchState::departed, one object for all its sparkles), or else a plain point.
struct SparkleOwner {
    std::int32_t listed = -1;   // into MatchState::heroes
    std::int32_t departed = -1; // into MatchState::departed
    double x = 0;
    double y = 0;
};

struct ParticlesState {
    // The order of the game's two lists, kind by kind; each kind's particles are in the vector
    // of that kind, in the order they come in the lists (trails first).
    std::vector<ParticleKind> trailKinds;
    std::vector<ParticleKind> sparkleKinds;
    std::vector<ParticleState> plain;
    std::vector<MovingParticleState> rain;
    std::vector<PictureParticleState> rainbow;
    std::vector<PictureParticleState> ascend;
    std::vector<WinParticleState> win;
    std::vector<MovingParticleState> drop;
    std::vector<HeroSparkleState> heroSparkle;
    std::vector<MovingParticleState> simpleSparkle;
    std::vector<SparkleOwner> owners;
};

struct PaddleState {
    std::vector<int> leftKeys;
    std::vector<int> rightKeys;
    bool usesAccelerometer = false;
    double digitalSmoothed = 0;
    double output = 0;
    int facing = 0;
    double pad = 0;
};

// The track last asked for, by its part in the game.
enum class MusicChoice : std::uint8_t { Silent, Match, Title, Other };

struct MatchState {
    bool captured = false;
    double boardTime = 0;
    double shake = 0;
    double titleAlpha = 0;
    double gameTimeout = 0;
    double slomo = 0;
    int lastWinner = -1;
    std::int64_t catches = 0; // the game's tally
    std::int64_t falls = 0;
    std::int64_t wins = 0;
    std::vector<bool> aiFlags;
    std::vector<HeroState> heroes;
    std::vector<HeroState> departed;
    std::vector<CloudState> clouds;
    bool hasMacGuffin = false;
    MacGuffinState macGuffin;
    ParticlesState particles;
    std::vector<PaddleState> paddles;
    std::vector<std::pair<int, bool>> keyStates; // in key order
    RandomState random;
    std::vector<std::vector<std::uint8_t>> effectOrders; // each effect list's variant order
    MusicChoice music = MusicChoice::Silent;
};

} // namespace zindle
