// A well-formed match state that no game could be in (a hostile room owner's) is refused with
// what is wrong with it, before it can slow a game down: too many particles, lives that never
// end, places far off the world, fractions past their ends.
#include "support/game_fixture.h"

#include "match/match_snapshot.h"
#include "match/match_state_bounds.h"
#include "match/match_state_codec.h"

namespace zindle::test {
namespace {

using MatchStateBoundsTest = GameFixture;

std::string refusal(const MatchState& state) {
    std::vector<std::uint8_t> bytes;
    writeMatchState(state, bytes);
    try {
        readMatchState(bytes);
    } catch (const MatchStateError& e) {
        return e.what();
    }
    return "";
}

void addRain(MatchState& s, std::size_t n, double life) {
    MovingParticleState p;
    p.life = p.initialLife = life;
    s.particles.rain.insert(s.particles.rain.end(), n, p);
    s.particles.trailKinds.insert(s.particles.trailKinds.end(), n, ParticleKind::Rain);
}

TEST_F(MatchStateBoundsTest, StatesBeyondTheGamesBoundsAreRefusedWithTheirProblem) {
    step();
    addHero(0);
    step(600);
    MatchSnapshot snapshot;
    snapshot.capture(*game);
    const MatchState good = snapshot.state();
    ASSERT_EQ(refusal(good), "");

    const struct {
        const char* name;
        void (*spoil)(MatchState&);
        const char* problem;
    } cases[] = {
        {"the forged round start: 250,000 undying particles",
         [](MatchState& s) { addRain(s, 250'000, 1e300); }, "too many particles"},
        {"more particles than a match makes, over both lists",
         [](MatchState& s) {
             addRain(s, kMaxMatchParticles / 2 + 1, 0.5);
             s.particles.sparkleKinds.insert(s.particles.sparkleKinds.end(), kMaxMatchParticles / 2,
                                             ParticleKind::Plain);
             s.particles.plain.resize(kMaxMatchParticles / 2);
         },
         "more particles than a match makes"},
        {"a particle that never dies", [](MatchState& s) { addRain(s, 1, 1e300); }, "lives longer"},
        {"life beyond its start",
         [](MatchState& s) {
             addRain(s, 1, 1);
             s.particles.rain.back().life = 1.5;
         },
         "more life left"},
        {"a particle far away",
         [](MatchState& s) {
             addRain(s, 1, 1);
             s.particles.rain.back().y = -1e12;
         },
         "a particle beyond the world's reach"},
        {"a hero far away", [](MatchState& s) { s.heroes[0].x = 1e9; }, "a hero beyond"},
        {"a cloud far away", [](MatchState& s) { s.clouds[0].y = 1e9; }, "a cloud beyond"},
        {"slow motion past its end", [](MatchState& s) { s.slomo = 2; }, "board fraction"},
        {"a shake that never settles", [](MatchState& s) { s.shake = 1e300; }, "board fraction"},
        {"five heroes", [](MatchState& s) { s.heroes.resize(5, s.heroes[0]); },
         "more heroes than players"},
    };
    for (const auto& c : cases) {
        MatchState bad = good;
        c.spoil(bad);
        const std::string error = refusal(bad);
        EXPECT_NE(error.find(c.problem), std::string::npos) << c.name << ": " << error;
    }
}

} // namespace
} // namespace zindle::test
