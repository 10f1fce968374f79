#pragma once
// Every object that lives for the whole process, and the one way to put them all back as they
// were before start-up. The game itself never calls this: it starts once and ends with the
// process. Tools that run the game more than once, and every test fixture, call it between runs.
//
// What lives for the whole process, in the order the reset takes it apart:
//   Main::instance, Main::board, Main's frame clock, tap and feed (loop/main.h)
//   Lib: the stage with the display tree, the root clip, the package strings (framework/lib.h)
//   Game::tiler, Game::titleTiler, Game::gameMusic, Game::menuMusic (match/game.h)
//   Music: the playing track and its channel (sound/music.h)
//   Beeper::sounds, the effect lists (sound/beeper.h)
//   SoundChannel::mediaIncompleteList, the channels still playing (framework/sound_channel.h)
//   Assets: the image cache and the search roots (framework/assets.h)
//   Input: bindings, held keys and the four paddles (input/input.h)
//   the random source: back to the generator, dropping any script and the drawing stream
//   of online play (framework/random.h)
//   Sound::silenced and Tiler::collecting, which a replay sets while it runs ahead, and
//   Sound::observer, which online play sets
// The installed media backend is not among them: whoever installs one owns that choice.

namespace zindle {

void resetProcessState();

} // namespace zindle
