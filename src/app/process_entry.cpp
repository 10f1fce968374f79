// The process entry of the game itself: safe standard streams, the command line, the SDL media
// layer, then the guarded start. The data folder is looked for beside the executable, then in
// the installed data folder, then in the working directory (the catalogue's search roots).
#include "app/application_main.h"
#include "app/clip_saver.h"
#include "app/command_line.h"
#include "app/game_settings.h"
#include "app/main_menu.h"
#include "app/pacing_log.h"
#include "app/replay_watching.h"
#include "app/standard_streams.h"
#include "base/rules.h"
#include "framework/assets.h"
#include "framework/lib.h"
#include "framework/random.h"
#include "framework/untrusted_text.h"
#include "loop/main.h"
#include "match/game.h"
#include "media/sdl/sdl_environment.h"
#include "media/sdl/sdl_media.h"
#include "netcode/relay_room_code.h"
#include "netcode/room_link.h"
#include "online/online_feed.h"
#include "qr/qr_picture.h"
#include "relay/embedded_relay.h"
#include "relay/online_host.h"
#include "relay/relay_client_connection.h"
#include "replay/replay_folder.h"
#include "replay/replay_reader.h"
#include "replay/replay_recorder.h"
#include "replay/replay_viewer.h"
#include "settings/settings_file.h"

#include <unistd.h>

#include <cstdlib>
#include <exception>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {
// Pads SDL does not know, mapped by the players' own lines; shipped with the data.
constexpr const char* kPadMappings = "assets/gamecontrollerdb.txt";
constexpr int kAnswerNotWritten = 1; // exit status

// --help and --version have nothing to give but their text: one that did not reach standard
// output (a full disk, a closed descriptor) is a failure, whoever reads the status.
int answer(const std::string& text, bool outputWasClosed) {
    std::cout << text << std::flush;
    if (std::cout && !outputWasClosed)
        return zindle::CommandLine::kAnswered;
    std::cerr << "zindle: the answer could not be written to standard output" << std::endl;
    return kAnswerNotWritten;
}
// A helper program of the game: beside the executable (a build tree), else where an
// installation puts the game's helpers relative to it.
std::filesystem::path helperProgram(const std::string& name) {
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    const auto beside = exe.parent_path() / name;
    if (::access(beside.c_str(), X_OK) == 0)
        return beside;
    return (exe.parent_path() / ZINDLE_HELPERS_FROM_EXE / name).lexically_normal();
}

// F12's clips: from the replay being watched (from the command line or the menu), or else from
// a copy of the replay being recorded.
std::unique_ptr<zindle::ClipSaver> makeClipSaver() {
    using zindle::ClipSaver;
    ClipSaver::Options options;
    options.folder = zindle::replayFolder();
    options.shot = helperProgram("zindle-shot");
    try {
        options.dataRoot = zindle::Assets::dataFolder().parent_path();
    } catch (const std::exception&) {
        // The game stops on its first load and says why; a clip needs the same folder.
    }
    options.clock = [] { return zindle::Timer::stamp(); };
    options.source = [copies = 0](ClipSaver::Source& source, std::string& problem) mutable {
        if (auto* viewer = dynamic_cast<zindle::ReplayViewer*>(zindle::Main::feed.get())) {
            source.replay = std::filesystem::absolute(viewer->name());
            source.now = static_cast<double>(viewer->matchStep()) / zindle::rules::kStepsPerSecond;
            return true;
        }
        auto* recorder = dynamic_cast<zindle::ReplayRecorder*>(zindle::Main::tap.get());
        if (!recorder) {
            problem = "nothing is recorded";
            return false;
        }
        std::error_code error;
        source.replay = std::filesystem::temp_directory_path(error) /
                        ("zindle-clip-" + std::to_string(::getpid()) + "-" +
                         std::to_string(++copies) + ".replay");
        source.scratch = true;
        source.now = recorder->matchSeconds();
        return recorder->saveCopy(source.replay, problem);
    };
    return std::make_unique<ClipSaver>(std::move(options));
}

// Every live game is recorded into the replays' folder, from the seed it started with.
std::unique_ptr<zindle::MatchTap> makeRecorder(std::uint64_t seed) {
    zindle::ReplayRecorder::Options recording;
    recording.folder = zindle::replayFolder();
    recording.seed = seed;
    recording.game = [] { return dynamic_cast<const zindle::Game*>(zindle::Main::board.get()); };
    recording.tell = [](const std::string& text) {
        if (auto* clips = dynamic_cast<zindle::ClipSaver*>(zindle::Main::overlay.get()))
            clips->say(text);
    };
    return std::make_unique<zindle::ReplayRecorder>(std::move(recording));
}

// Online play: the room's relay (the host's own, inside this game) and the feed that plays the
// match through it. Empty for local play.
struct Online {
    std::optional<zindle::relay::EmbeddedRelay> relay;
    std::string failure; // one line when it could not start
};

// A room to host (join empty) or the room of a link to join. A host opens its room on the relay
// from the settings when there is one, else on a relay of its own inside the game.
// hostOn: where to host, given on the command line; empty: the settings' choice.
Online startOnline(const std::string& join, const char* program, const std::string& hostOn = {}) {
    namespace relay = zindle::relay;
    Online online;
    relay::RoomLink link;
    // A relay elsewhere holds the room: the link names it, and it outlives this game.
    const std::string& chosenRelay =
        hostOn.empty() ? zindle::GameSettings::relayForHosting() : hostOn;
    if (!join.empty()) {
        link = *relay::parseRoomLink(join); // checked by the caller
    } else if (!chosenRelay.empty()) {
        const auto given = relay::parseRoomLink(chosenRelay);
        if (!given) {
            online.failure = "the relay in the settings, '" + zindle::quoteUntrusted(chosenRelay) +
                             "', is no address like http://HOST:PORT/";
            return online;
        }
        link = *given;
        link.code.reset();
    } else {
        relay::EmbeddedRelaySettings settings;
        settings.webRoot = relay::findWebBuild(program);
        // A friend reaches the host's relay at the machine's address.
        settings.linkHost = relay::reachableAddress();
        // A game keeps its relay's comings and goings to itself.
        settings.log = [](std::string_view) {};
        try {
            online.relay = relay::startEmbeddedRelay(std::move(settings));
        } catch (const std::exception& e) {
            online.failure = std::string("could not start the room's relay: ") + e.what();
            return online;
        }
        link.host = "127.0.0.1";
        link.port = online.relay->link.port;
    }
    zindle::net::OnlineFeed::Setup setup;
    setup.relay = std::make_unique<relay::RelayClientConnection>(link);
    setup.options.room = link.code;
    // A joiner shares the link it came by.
    setup.relayHost = online.relay ? online.relay->link.host : link.host;
    setup.relayPort = link.port;
    setup.drawingSeed = zindle::net::kOnlineDrawingSeed;
    setup.replayFolder = zindle::replayFolder();
    setup.seed = zindle::randomSeed();
    setup.roomOpened = [](const std::string& roomLink) {
        std::cout << "zindle: room " << roomLink << std::endl;
    };
    setup.log = [](const std::string& text) { std::cerr << "zindle: online: " << text << '\n'; };
    auto* server = online.relay ? online.relay->server.get() : nullptr;
    // The host's relay closes when the host leaves: every other peer is told so.
    setup.left = [server] {
        if (server)
            server->stop();
    };
    // For measurements: each second's round trip, input delay, rollback depth and re-simulation
    // time, as F3 shows them.
    if (const char* path = std::getenv("ZINDLE_NET_FIGURES_LOG")) {
        auto file = std::make_shared<std::ofstream>(path, std::ios::app);
        setup.everySecond = [file](const zindle::net::OnlineFeed::Figures& f) {
            *file << f.roundTripMs << ' ' << f.inputDelay << ' ' << f.deepestRollback << ' '
                  << f.resimulationMs << std::endl;
        };
    }
    auto feed = std::make_unique<zindle::net::OnlineFeed>(std::move(setup));
    // For tests: every confirmed second's checksum, to hold peers against each other.
    if (const char* path = std::getenv("ZINDLE_CHECKSUM_LOG")) {
        auto file = std::make_shared<std::ofstream>(path, std::ios::app);
        feed->match().onConfirmedState(
            [file](std::uint32_t round, std::uint64_t tick, std::uint64_t checksum) {
                if (tick % 60 == 0)
                    *file << round << ' ' << tick << ' ' << checksum << std::endl;
            });
    }
    zindle::Main::feed = std::move(feed);
    return online;
}

// Whether text is a room's link with a code; the reason when not, for the player.
std::string notARoomLink(const std::string& text) {
    const auto link = zindle::relay::parseRoomLink(text);
    if (link && link->code)
        return "";
    return "'" + zindle::quoteUntrusted(text) +
           "' is not a room's link (like http://HOST:PORT/#CODE)";
}

// The menu's online entries: rooms opened and joined while the game runs, as --host and --join
// open them at start.
zindle::MainMenuServices menuServices(Online& online, const char* program) {
    zindle::MainMenuServices services;
    auto start = [&online, program](const std::string& join) -> std::string {
        if (zindle::Main::feed)
            return dynamic_cast<zindle::net::OnlineFeed*>(zindle::Main::feed.get())
                       ? "ALREADY IN A ROOM"
                       : "NOT WHILE A REPLAY PLAYS";
        online = startOnline(join, program);
        if (online.failure.empty())
            return "";
        std::cerr << "zindle: " << online.failure << '\n';
        return online.failure;
    };
    services.hostRoom = [start] { return start(""); };
    services.roomLink = [] {
        const auto* feed = dynamic_cast<zindle::net::OnlineFeed*>(zindle::Main::feed.get());
        return feed ? feed->link() : std::string();
    };
    services.joinLink = [start](const std::string& text) {
        const std::string problem = notARoomLink(text);
        if (!problem.empty()) {
            std::cerr << "zindle: the clipboard: " << problem << '\n';
            return problem;
        }
        return start(text);
    };
    services.joinCode = [start](const std::string& code) -> std::string {
        const std::string& relay = zindle::GameSettings::relayForHosting();
        if (relay.empty())
            return "CHOOSE A RELAY IN THE SETTINGS FIRST";
        auto link = zindle::relay::parseRoomLink(relay);
        if (!link)
            return "THE RELAY IN THE SETTINGS IS NO ADDRESS";
        link->code = zindle::relay::parseRoomCode(code);
        if (!link->code)
            return "NO ROOM HAS THAT CODE";
        return start(zindle::relay::formatRoomLink(*link));
    };
    services.qrCode = zindle::qrPicture;
    services.replayFolder = zindle::replayFolder();
    return services;
}
} // namespace

int main(int argc, char** argv) {
    using zindle::CommandLine;
    const auto closed = zindle::keepStandardDescriptorsOpen();
    zindle::ignoreBrokenPipes();
    const CommandLine line = CommandLine::parse(std::vector<std::string>(argv + 1, argv + argc));
    switch (line.action) {
    case CommandLine::Action::Help:
        return answer(CommandLine::help(), closed.output);
    case CommandLine::Action::Version:
        return answer(CommandLine::version(), closed.output);
    case CommandLine::Action::Refuse:
        std::cerr << "zindle: " << line.refusal << '\n' << CommandLine::usage();
        return CommandLine::kRefused;
    case CommandLine::Action::Play:
        break;
    }
    // A link that is no link is answered before any window opens.
    if (!line.relay.empty()) {
        const auto relay = zindle::relay::parseRoomLink(line.relay);
        if (!relay || relay->code) {
            std::cerr << "zindle: '" << zindle::quoteUntrusted(line.relay)
                      << "' is not a relay's address (like http://HOST:PORT)\n";
            return CommandLine::kRefused;
        }
    }
    if (!line.join.empty()) {
        const auto link = zindle::relay::parseRoomLink(line.join);
        if (!link || !link->code) {
            std::cerr << "zindle: '" << zindle::quoteUntrusted(line.join)
                      << "' is not a room's link (like http://HOST:PORT/#CODE)\n";
            return CommandLine::kRefused;
        }
    }
    // The player's settings hold from the first frame; a file that is refused is one line each.
    zindle::GameSettings::load(zindle::settingsFile(), std::cerr);
    const bool windowed = line.windowed || !zindle::GameSettings::current().fullScreen;
    // Before anything starts SDL: some of its variables could stall the game before it draws.
    zindle::guardSdlEnvironment(std::cout);
    // The seed is fixed before the recorder notes it; a replay brings its own.
    if (line.seed)
        zindle::seedRandom(*line.seed);
    if (!line.replay.empty()) {
        // Read before any window opens: a file that is no replay is a one-line answer.
        try {
            zindle::Replay replay = zindle::readReplayFile(line.replay);
            zindle::seedRandom(replay.header.seed);
            zindle::Main::feed =
                std::make_unique<zindle::ReplayViewer>(std::move(replay), line.replay);
        } catch (const zindle::ReplayError& e) {
            std::cerr << "zindle: " << e.what() << '\n';
            return CommandLine::kRefused;
        }
    } else {
        zindle::Main::tap = makeRecorder(zindle::randomSeed());
    }
    try {
        auto& media = zindle::SdlMedia::install();
        media.setPresentObserver(zindle::PacingLog::fromEnvironment());
        // --mute wins over the volumes for this run, and leaves them as they are kept.
        if (line.mute)
            media.mute();
        if (windowed)
            media.fitWindowToScreen();
        media.useControllerMappings(zindle::Assets::resolve(kPadMappings));
    } catch (const std::exception& e) {
        // No media layer means no message box either: standard error is all there is.
        std::cerr << e.what() << std::endl;
        return 1;
    }
    zindle::Main::overlay = makeClipSaver();
    zindle::ReplayWatching::makeRecorder = &makeRecorder;
    Online online;
    zindle::Main::menu = zindle::makeMainMenu(menuServices(online, argv[0]));
    if (line.host || !line.join.empty()) {
        online = startOnline(line.join, argv[0], line.relay);
        if (!online.failure.empty()) {
            std::cerr << "zindle: " << online.failure << '\n';
            return CommandLine::kRefused;
        }
    }
    zindle::Main::startFullScreen = !windowed;
    const int status = zindle::ApplicationMain::run();
    // The match and its connection go before the relay they talk to.
    zindle::Main::feed.reset();
    if (online.relay)
        online.relay->server->stop();
    return status;
}
