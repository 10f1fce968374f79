#include "support/game_fixture.h"

#include "app/process_state.h"
#include "framework/assets.h"
#include "framework/display_object.h"
#include "framework/random.h"
#include "input/input.h"
#include "render/tiler.h"
#include "sound/beeper.h"
#include "sound/music.h"

namespace zindle::test {

namespace {

std::string fileName(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

void GameFixture::SetUp() {
    resetProcessState();
    media = &HeadlessMedia::install();
    Assets::setSearchRoots({ZINDLE_TEST_DATA "/game"});
    seedRandom(20261207);
    Beeper::init();
    Game::init();
    canvas = std::make_unique<Sprite>();
    game = std::make_unique<Game>();
}

void GameFixture::TearDown() {
    game.reset();
    canvas.reset();
    script_.reset();
    resetProcessState();
}

ScriptedRandom& GameFixture::scriptRandom(std::vector<double> values, double fallback) {
    // The old script goes first: its destructor hands the stream back to the generator.
    script_.reset();
    script_ = std::make_unique<ScriptedRandom>(std::move(values), fallback);
    return *script_;
}

std::shared_ptr<Hero> GameFixture::makeHero(int player) {
    return std::make_shared<Hero>(player);
}

Hero& GameFixture::addHero(int player) {
    game->heroes.push_back(makeHero(player));
    return *game->heroes.back();
}

Hero& GameFixture::placeHero(int player, double x, double y) {
    Hero& hero = addHero(player);
    hero.x = x;
    hero.y = y;
    hero.dy = 0;
    hero.invulnerable = false;
    return hero;
}

void GameFixture::step(int n) {
    for (int i = 0; i < n; ++i) {
        Input::update(kStep);
        game->update(kStep);
    }
}

void GameFixture::drawFrame() {
    game->draw(canvas->graphics());
}

std::vector<NamedTile> GameFixture::gameTiles() const {
    return bufferedTiles(Game::tiler.get());
}

std::vector<NamedTile> GameFixture::titleTiles() const {
    return bufferedTiles(Game::titleTiler.get());
}

int GameFixture::soundCount(std::string_view stem) const {
    return static_cast<int>(soundVolumes(stem).size());
}

std::vector<double> GameFixture::soundVolumes(std::string_view stem) const {
    std::vector<double> out;
    for (const auto& channel : media->channels()) {
        if (!channel.music && fileName(channel.path).starts_with(stem)) {
            out.push_back(channel.volume);
        }
    }
    return out;
}

std::string GameFixture::lastMusic() const {
    for (auto it = media->channels().rbegin(); it != media->channels().rend(); ++it) {
        if (it->music) {
            return fileName(it->path);
        }
    }
    return "";
}

void GameFixture::clearSounds() {
    media->clearChannels();
}

} // namespace zindle::test
