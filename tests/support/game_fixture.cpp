#include "support/game_fixture.h"

#include "framework/assets.h"
#include "framework/display_object.h"
#include "framework/lib.h"
#include "framework/random.h"
#include "input/input.h"
#include "render/tiler.h"
#include "sound/beeper.h"
#include "sound/music.h"

#include <unordered_map>

namespace zindle::test {

namespace {

std::string fileName(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<NamedTile> bufferedTiles(const Tiler* tiler) {
    std::vector<NamedTile> out;
    if (tiler == nullptr) {
        return out;
    }
    std::unordered_map<int, std::string> names;
    for (const auto& [name, id] : tiler->frames) {
        names[id] = name;
    }
    const auto& buffer = tiler->tileBuffer;
    for (std::size_t i = 0; i + 2 < buffer.size(); i += 3) {
        out.push_back({names[static_cast<int>(buffer[i + 2])], buffer[i], buffer[i + 1]});
    }
    return out;
}

} // namespace

RandomScript::RandomScript(std::vector<double> values, double fallback)
    : values_(values.begin(), values.end()), fallback_(fallback) {}

double RandomScript::next() {
    ++drawn_;
    if (values_.empty()) {
        return fallback_;
    }
    const double v = values_.front();
    values_.pop_front();
    return v;
}

void GameFixture::SetUp() {
    Game::reset();
    media = &HeadlessMedia::install();
    Lib::reset();
    Assets::reset();
    Assets::setSearchRoots({ZINDLE_TEST_DATA "/game"});
    seedRandom(20261207);
    Input::init();
    Music::init();
    Beeper::init();
    Game::init();
    canvas = std::make_unique<Sprite>();
    game = std::make_unique<Game>();
}

void GameFixture::TearDown() {
    game.reset();
    canvas.reset();
    Game::reset();
    Music::init();
    Beeper::sounds.clear();
    Assets::reset(); // back to the default search roots
    setRandomSource({});
}

RandomScript& GameFixture::scriptRandom(std::vector<double> values, double fallback) {
    script_ = std::make_shared<RandomScript>(std::move(values), fallback);
    auto script = script_;
    setRandomSource([script] { return script->next(); });
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

std::vector<NamedTile> GameFixture::tilesNamed(const std::vector<NamedTile>& tiles,
                                               std::string_view name) {
    std::vector<NamedTile> out;
    for (const auto& tile : tiles) {
        if (tile.name == name) {
            out.push_back(tile);
        }
    }
    return out;
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
