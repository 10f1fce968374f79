#pragma once
// The game's rules that more than one file needs, each with one home, so that changing one is
// one edit. Tuning values that only one file uses stay at the top of that file.
namespace zindle::rules {

// Fixed steps of game logic per second. Velocities are px per nominal step, so a mover turns
// dt (seconds of game time) into steps by multiplying with this.
inline constexpr double kStepsPerSecond = 300;
// px per nominal step, added to dy each nominal step: heroes and heavy particles fall alike.
inline constexpr double kGravityPerStep = 0.012;
// Player slots: keys, paddles, joysticks, HUD panels and hero figures exist for this many.
inline constexpr int kPlayers = 4;
// A hero with this score wins with its next catch: its beams show and its pips blink. It is
// also the number of score pips a panel has.
inline constexpr int kOneCatchFromWinning = 5;
// px: a hero below this has fallen out of the world.
inline constexpr double kFallOutY = 1280;

} // namespace zindle::rules
