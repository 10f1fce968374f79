// Holding a match state to what a game can make: counts, lives, places and the board's
// fractions. The codec has already refused numbers that are not finite.
#include "match/match_state_bounds.h"

#include "base/rules.h"
#include "match/state_fields.h"

#include <cmath>

namespace zindle {

static_assert(kMaxParticlePictureName == StateFields<PictureParticleState>::kLongestFrameName,
              "the largest state's size counts the longest picture name the reader takes");

namespace {

using Problem = std::optional<std::string>;

bool within(double v, double lowest, double highest) {
    return v >= lowest && v <= highest;
}

Problem place(double x, double y, const char* what) {
    if (std::abs(x) > kWorldReachPx || std::abs(y) > kWorldReachPx)
        return std::string(what) + " beyond the world's reach";
    return std::nullopt;
}

template <class Particle> Problem particles(const std::vector<Particle>& list) {
    for (const ParticleState& p : list) {
        if (!(p.initialLife <= kLongestParticleLife))
            return "a particle that lives longer than any the game makes";
        if (!(p.life <= p.initialLife))
            return "a particle with more life left than it began with";
        if (Problem far = place(p.x, p.y, "a particle"))
            return far;
    }
    return std::nullopt;
}

Problem heroes(const std::vector<HeroState>& list) {
    for (const HeroState& h : list)
        if (Problem far = place(h.x, h.y, "a hero"))
            return far;
    return std::nullopt;
}

} // namespace

std::optional<std::string> matchStateOutOfBounds(const MatchState& s) {
    // The board's fractions run from 0 to 1; slow motion past 1 would run time backwards.
    if (!within(s.slomo, 0, 1) || !within(s.titleAlpha, 0, 1) || !within(s.gameTimeout, 0, 1) ||
        !within(s.shake, 0, 1))
        return "a board fraction outside 0 to 1";
    if (s.heroes.size() > static_cast<std::size_t>(rules::kPlayers))
        return "more heroes than players (" + std::to_string(s.heroes.size()) + ")";
    const ParticlesState& p = s.particles;
    const std::size_t count = p.trailKinds.size() + p.sparkleKinds.size();
    if (count > kMaxMatchParticles)
        return "more particles than a match makes (" + std::to_string(count) + ")";
    for (const Problem& problem :
         {heroes(s.heroes), heroes(s.departed), particles(p.plain), particles(p.rain),
          particles(p.rainbow), particles(p.ascend), particles(p.win), particles(p.drop),
          particles(p.heroSparkle), particles(p.simpleSparkle)})
        if (problem)
            return problem;
    for (const CloudState& c : s.clouds)
        if (Problem far = place(c.x, c.y, "a cloud"))
            return far;
    for (const SparkleOwner& o : p.owners)
        if (Problem far = place(o.x, o.y, "a sparkle's owner"))
            return far;
    if (s.hasMacGuffin) {
        if (Problem far = place(s.macGuffin.x, s.macGuffin.y, "the MacGuffin"))
            return far;
        for (const FlareState& f : s.macGuffin.flares)
            if (Problem far = place(f.x, f.y, "a flare"))
                return far;
    }
    return std::nullopt;
}

} // namespace zindle
