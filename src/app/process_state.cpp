// The reset of everything that lives for the whole process; the list and its order are in the
// header.
#include "app/process_state.h"

#include "app/game_settings.h"
#include "framework/assets.h"
#include "framework/lib.h"
#include "framework/random.h"
#include "framework/sound.h"
#include "framework/sound_channel.h"
#include "input/input.h"
#include "loop/main.h"
#include "match/game.h"
#include "render/tiler.h"
#include "sound/beeper.h"
#include "sound/music.h"

namespace zindle {

void resetProcessState() {
    // The board holds the game, whose objects draw through the game's tilers: it goes first.
    // Main itself is a child of the stage, so Lib's reset (which drops the stage) follows.
    Main::reset();
    Lib::reset();
    Game::reset();
    // Channels hold their sounds; the music's and the effects' go before the list of playing
    // channels is emptied.
    Music::init();
    Beeper::sounds.clear();
    SoundChannel::reset();
    Assets::reset();
    Input::init();
    // The player's settings: volumes, drawing options and chosen keys back to the defaults.
    GameSettings::reset();
    setRandomSource({});
    setDrawingStream(std::nullopt);
    Sound::silenced = false;
    Sound::observer = nullptr;
    Tiler::collecting = true;
}

} // namespace zindle
