// The program in a web page: the web media layer, the guarded start, and the entry points the
// page calls from its animation-frame, keyboard, Gamepad and visibility callbacks. The start
// returns once the stage exists; from then on only these entry points run the game, each under
// the same guard as the start, so an error in any frame reaches the player as on the desktop.
#include "actors/hero.h"
#include "app/application_main.h"
#include "app/game_settings.h"
#include "app/replay_watching.h"
#include "app/web_measurement.h"
#include "app/web_replays.h"
#include "base/rules.h"
#include "framework/random.h"
#include "input/input.h"
#include "loop/main.h"
#include "match/game.h"
#include "match/panel_strip.h"
#include "media/common/sound_format.h"
#include "media/web/web_media.h"
#include "replay/replay_reader.h"
#include "replay/replay_recorder.h"
#include "replay/replay_viewer.h"

#include <emscripten/emscripten.h>

#include <algorithm>
#include <cstdint>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {
zindle::WebMedia* media = nullptr;

// The settings live in the page's storage; the program reads and writes them as a file in its
// in-memory folder, put there from the storage at start and copied back after each save.
constexpr const char* kSettingsFile = "/settings/settings.ini";
constexpr const char* kNotKept = "the page's storage would not keep them (full, or turned off)";

bool computer(const zindle::Game& game, int player) {
    return player >= 0 && static_cast<std::size_t>(player) < game.aiFlags.size() &&
           game.aiFlags[static_cast<std::size_t>(player)];
}

// Hands a player to the computer through the game's own call, as CTRL with its number does.
void handToComputer(int player) {
    if (auto* game = dynamic_cast<zindle::Game*>(zindle::Main::board.get()))
        game->toggleComputerPlayer(player);
}

// Matches are recorded as on the desktop, into the program's in-memory files; the page copies
// each finished one into its own storage. The recorder is Main's tap, which owns it.
zindle::ReplayRecorder* recorder = nullptr;
std::string replayBeingWritten; // the file of the open match, once seen
std::string replayHandedOver;   // the last file the page was given

// Why the replay the page asked to watch cannot be played: one line, empty when it can.
std::string replayProblem;

// The recorder while it is still Main's tap (the end of a run takes it away).
const zindle::ReplayRecorder* liveRecorder() {
    return recorder != nullptr && zindle::Main::tap.get() == recorder ? recorder : nullptr;
}

// The bytes of an effect that arrived after the start, while the page asks about them.
std::vector<std::uint8_t> arrivingEffect;

void call(const std::function<void()>& body) {
    if (media != nullptr)
        media->guard(body);
}
} // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE void zindle_frame(double interval) {
    call([&] { media->animationFrame(interval); });
}

EMSCRIPTEN_KEEPALIVE void zindle_key(int down, int code, int character, int flags) {
    call([&] { media->key(down != 0, code, character, flags); });
}

EMSCRIPTEN_KEEPALIVE void zindle_joystick(int type, int device, int code, int value) {
    call([&] { media->joystick(type, device, code, value); });
}

EMSCRIPTEN_KEEPALIVE void zindle_pad(int device, int isAxis, int index, int value) {
    call([&] { media->standardPad(device, isAxis != 0, index, value); });
}

// The player plays by touch (1) or by keys (0): the title's prompt follows.
EMSCRIPTEN_KEEPALIVE void zindle_touch(int touch) {
    zindle::Game::titleHints =
        touch != 0 ? zindle::Game::TitleHints::Touch : zindle::Game::TitleHints::Page;
}

EMSCRIPTEN_KEEPALIVE void zindle_active(int active) {
    call([&] { media->setActive(active != 0); });
}

// For the page's tests: the heroes in play (player number, score, computer or not), how far the
// title covers the field (1 shut, 0 open), each paddle's stick value and the held game keys
// (Input's key constants), as JSON.
EMSCRIPTEN_KEEPALIVE const char* zindle_state() {
    static std::string text;
    std::ostringstream out;
    out << "{\"pads\":[";
    const char* comma = "";
    for (const auto& paddle : zindle::Input::paddles) {
        out << comma << paddle.pad;
        comma = ",";
    }
    out << "],\"keys\":[";
    comma = "";
    for (const auto& [key, held] : zindle::Input::keyStates)
        if (held && key >= 0) {
            out << comma << key;
            comma = ",";
        }
    out << "],\"heroes\":[";
    if (const auto* game = dynamic_cast<const zindle::Game*>(zindle::Main::board.get())) {
        const char* separator = "";
        for (const auto& hero : game->heroes) {
            out << separator << "{\"player\":" << hero->player << ",\"score\":" << hero->score
                << ",\"computer\":" << (computer(*game, hero->player) ? "true" : "false") << "}";
            separator = ",";
        }
        out << "],\"title\":" << game->titleAlpha << "}";
    } else {
        out << "],\"title\":null}";
    }
    text = out.str();
    return text.c_str();
}

// Where the players' panels are drawn in the picture, for the page's hit-test of a tap:
// "left,top,panel width,panels", in picture pixels.
EMSCRIPTEN_KEEPALIVE const char* zindle_panel_strip() {
    static const std::string text = [] {
        std::ostringstream out;
        out << zindle::panel_strip::kLeft << ',' << zindle::panel_strip::kTop << ','
            << zindle::panel_strip::kPanelWidth << ',' << zindle::rules::kPlayers;
        return out.str();
    }();
    return text.c_str();
}

// 1 while the game runs; 0 once it has closed or failed.
// Effects that reach the page after the program started are held to the same rule as the rest
// when their bytes are in: the page copies them into this buffer and asks for the problem, if
// any (the pointer stays good until the next call).
EMSCRIPTEN_KEEPALIVE std::uint8_t* zindle_effect_buffer(int size) {
    arrivingEffect.assign(static_cast<std::size_t>(std::max(size, 0)), 0);
    return arrivingEffect.data();
}

EMSCRIPTEN_KEEPALIVE const char* zindle_effect_problem() {
    static std::string problem;
    const auto found = zindle::effectFormatProblem(arrivingEffect);
    arrivingEffect = {};
    problem = found.value_or("");
    return found ? problem.c_str() : nullptr;
}

// The path of a replay finished since the last call, local or online, or null. A match still
// open when the run ended counts as finished: its recorder wrote what it had when it went.
EMSCRIPTEN_KEEPALIVE const char* zindle_finished_replay() {
    static std::string online;
    online = zindle::web::takeFinishedOnlineReplay();
    if (!online.empty())
        return online.c_str();
    if (const auto* live = liveRecorder()) {
        if (live->recording()) {
            replayBeingWritten = live->lastFile().string();
            return nullptr;
        }
        if (!live->lastFile().empty())
            replayBeingWritten = live->lastFile().string();
    }
    if (replayBeingWritten.empty() || replayBeingWritten == replayHandedOver)
        return nullptr;
    replayHandedOver = replayBeingWritten;
    return replayHandedOver.c_str();
}

// The path of the replay still being written, the online match's or the local one's, or null.
// The page copies it when it may be closed: what was written so far re-simulates up to there.
EMSCRIPTEN_KEEPALIVE const char* zindle_replay_in_progress() {
    static std::string path;
    path = zindle::web::onlineReplayInProgress();
    if (path.empty())
        if (const auto* live = liveRecorder(); live != nullptr && live->recording())
            path = live->lastFile().string();
    return path.empty() ? nullptr : path.c_str();
}

// Why the run did not start the replay it was given, or null.
EMSCRIPTEN_KEEPALIVE const char* zindle_replay_problem() {
    return replayProblem.empty() ? nullptr : replayProblem.c_str();
}

EMSCRIPTEN_KEEPALIVE int zindle_running() {
    return media != nullptr && media->running() ? 1 : 0;
}
}

namespace {
// Installs the viewer for the replay the page wrote at path, as zindle --replay does; false with
// the problem kept for the page when the file is no replay this game can play.
bool watch(const std::string& path) {
    try {
        zindle::Replay replay = zindle::readReplayFile(path);
        zindle::seedRandom(replay.header.seed);
        zindle::ReplayViewer::install(std::move(replay), path);
        return true;
    } catch (const zindle::ReplayError& e) {
        replayProblem = e.what();
        return false;
    }
}

std::unique_ptr<zindle::MatchTap> makeRecorder(std::uint64_t seed) {
    zindle::ReplayRecorder::Options recording;
    recording.folder = zindle::web::kReplayFolder;
    recording.seed = seed;
    recording.game = [] { return dynamic_cast<const zindle::Game*>(zindle::Main::board.get()); };
    recording.keepFiles = zindle::web::kReplaysInMemory;
    auto installed = std::make_unique<zindle::ReplayRecorder>(std::move(recording));
    recorder = installed.get();
    return installed;
}

void record() {
    zindle::Main::tap = makeRecorder(zindle::randomSeed());
    // Play after a replay watched from the menu is recorded the same way.
    zindle::ReplayWatching::makeRecorder = &makeRecorder;
}
} // namespace

// JavaScript, which the C++ formatter would split (=== into == =).
// clang-format off
EM_JS(void, jsPlaceSettings, (const char* path), {
    try {
        const text = localStorage.getItem('zindle.settings');
        if (text === null)
            return;
        FS.mkdirTree('/settings');
        FS.writeFile(UTF8ToString(path), text);
    } catch (e) {
        // No storage (a private window, a blocked origin): the defaults.
    }
});
EM_JS(int, jsKeepSettings, (const char* text), {
    try {
        localStorage.setItem('zindle.settings', UTF8ToString(text));
        return 1;
    } catch (e) {
        return 0;
    }
});
EM_JS(int, jsPrefersReducedMotion, (), {
    return typeof matchMedia === 'function' &&
        matchMedia('(prefers-reduced-motion: reduce)').matches ? 1 : 0;
});
// clang-format on

namespace {
void loadSettings() {
    jsPlaceSettings(kSettingsFile);
    zindle::GameSettings::load(kSettingsFile, std::cerr);
    zindle::GameSettings::keep = [](const std::string& text) -> std::optional<std::string> {
        if (jsKeepSettings(text.c_str()) != 0)
            return std::nullopt;
        return std::string(kNotKept);
    };
    if (jsPrefersReducedMotion() != 0)
        zindle::GameSettings::preferReducedMotion();
}
} // namespace

// The page passes "--replay FILE" to watch a replay, and other options only for measurements
// (web_measurement.h).
int main(int argc, char** argv) {
    media = &zindle::WebMedia::install();
    // ESC on the title ends the game in a page (the page offers to play again): the title says so.
    if (zindle::Game::titleHints == zindle::Game::TitleHints::Desktop)
        zindle::Game::titleHints = zindle::Game::TitleHints::Page;
    media->setFatalHandler(&zindle::ApplicationMain::reportFatal);
    loadSettings();
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "--replay") {
        if (!watch(args[1])) {
            std::cerr << "zindle: " << replayProblem << '\n';
            return 2;
        }
        return zindle::ApplicationMain::run();
    }
    const auto options = zindle::WebMeasurement::parse(args);
    if (options.seed) {
        zindle::seedRandom(*options.seed);
        media->holdClock();
    }
    record();
    const int status = zindle::ApplicationMain::run();
    if (status != 0 || !media->running())
        return status;
    call([&] {
        for (int player : options.computerPlayers)
            handToComputer(player);
        auto game = [] { return dynamic_cast<zindle::Game*>(zindle::Main::board.get()); };
        media->fastForward(
            options.skip(),
            [&] {
                const auto* g = game();
                return g != nullptr && options.won(*g);
            },
            [&] {
                if (auto* g = game())
                    options.raiseScores(*g);
            });
    });
    return 0;
}
