// The online feed: frames from the clock through the online match, then the board and the
// room's lines on top; after leaving, ordinary local frames.
#include "online/online_feed.h"

#include "base/version.h"
#include "framework/keyboard.h"
#include "framework/lib.h"
#include "framework/stage.h"
#include "loop/main.h"
#include "match/game.h"
#include "netcode/room_link.h"
#include "online/online_replay_recorder.h"
#include "online/running_game.h"
#include "render/text_line.h"
#include "render/tiler.h"
#include "replay/replay_folder.h"
#include "replay/replay_recorder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <system_error>

namespace zindle::net {

namespace {

constexpr double kScreenWidthPx = 480;
constexpr double kPanelWidthPx = 120;
constexpr double kMarkDx = 96; // the connection mark, from the panel's left edge
constexpr double kMarkY = 304;
constexpr double kLinkY = 3;    // above the title's name, which starts some 15 px down
constexpr double kStatusY = 18; // the second line, for when the two do not fit on one
constexpr double kLineGapPx = 16;
constexpr double kLineHeightPx = 11;
constexpr double kWatchingY = 40; // below the title's link lines, above the field's action
constexpr std::uint8_t kAllSeats = 0x0F;

// Three grades of round trip: a mark of three, two or one rings.
const char* connectionMark(double roundTripMs) {
    if (roundTripMs < 0)
        return "?";
    if (roundTripMs < 80)
        return "ooo";
    if (roundTripMs < 160)
        return "oo";
    return "o";
}

std::string fixed(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// Who is in the room: how many games, and whose players sit where.
std::string whoIsConnected(const OnlineMatch& match) {
    const std::size_t games = match.peers().size();
    std::string line = std::to_string(games) + (games == 1 ? " game" : " games") + " in the room";
    std::string here, elsewhere;
    for (int seat = 0; seat < kSeats; ++seat)
        if (match.localPlayerOf(seat))
            here += " P" + std::to_string(seat + 1);
    for (const auto& remote : match.remoteSeats())
        elsewhere += " P" + std::to_string(remote.seat + 1);
    if (!here.empty())
        line += "   here:" + here;
    if (!elsewhere.empty())
        line += "   elsewhere:" + elsewhere;
    return line;
}

// Panels of seats held by other peers leave out this keyboard's steering keys; a seat held here
// shows the keys of the local player who sits in it. Out of the room (no match), every panel
// shows its own keys again.
void showKeysThatSteer(Main& main, const OnlineMatch* match) {
    Game* game = main.game();
    if (!game)
        return;
    game->slotsSteeredElsewhere = match ? match->seatsHeldElsewhere() : 0;
    for (int seat = 0; seat < kSeats; ++seat) {
        const int keys = match ? match->localPlayerOf(seat).value_or(seat) : seat;
        game->keyCapsOfSlot[static_cast<std::size_t>(seat)] = static_cast<std::int8_t>(keys);
    }
}

} // namespace

OnlineFeed::OnlineFeed(Setup setup)
    : setup_(std::move(setup)),
      game_(std::make_unique<RunningGame>(setup_.drawingSeed, [this] { return loop_; })) {
    match_ = std::make_unique<OnlineMatch>(setup_.options, *setup_.relay, *game_);
    if (setup_.log)
        match_->onLog(setup_.log);
    startRecording();
}

void OnlineFeed::startRecording() {
    if (setup_.replayFolder.empty())
        return;
    ReplayHeader header;
    header.seed = setup_.seed;
    header.date = static_cast<std::int64_t>(std::time(nullptr));
    header.gameVersion = kVersion;
    header.build = ReplayRecorder::build();
    header.drawingSeed = setup_.drawingSeed;
    recorder_ = std::make_unique<OnlineReplayRecorder>(
        header, [this](std::span<const std::uint8_t> bytes) { return writeReplay(bytes); },
        [this](const std::string& why) {
            std::cerr << "zindle: "
                      << (replayPath_.empty() ? "the online match's replay" : replayPath_.string())
                      << ": " << why << '\n';
        });
    match_->recordInto(recorder_.get());
}

void OnlineFeed::finishRecording() {
    // Play that goes on here alone is no longer the online match.
    if (!recorder_)
        return;
    match_->recordInto(nullptr);
    recorder_->finish();
    recorder_.reset();
    replayFile_.reset(); // whole now: whoever copies it (the page) reads it closed
}

bool OnlineFeed::writeReplay(std::span<const std::uint8_t> bytes) {
    if (!replayFile_) {
        std::error_code error;
        std::filesystem::create_directories(setup_.replayFolder, error);
        const std::time_t now = std::time(nullptr);
        for (int attempt = 0; attempt < 10 && !replayFile_; ++attempt) {
            replayPath_ = setup_.replayFolder / replayFileName(now, attempt);
            // "x": never over another match's file.
            replayFile_.reset(std::fopen(replayPath_.c_str(), "wbx"));
        }
        if (!replayFile_) {
            replayPath_.clear();
            std::cerr << "zindle: " << setup_.replayFolder.string()
                      << ": the online match is not recorded (no file can be made there)\n";
            return false;
        }
        pruneReplays(setup_.replayFolder, replayPath_, setup_.replaysKept);
        std::cout << "Replay " << replayPath_.string() << ": recording the online match"
                  << std::endl;
    }
    // Flushed block by block: a crash loses at most the last second.
    if (std::fwrite(bytes.data(), 1, bytes.size(), replayFile_.get()) != bytes.size() ||
        std::fflush(replayFile_.get()) != 0) {
        std::cerr << "zindle: " << replayPath_.string() << ": the recording stops (cannot write)\n";
        replayFile_.reset();
        return false;
    }
    return true;
}

OnlineFeed::~OnlineFeed() {
    finishRecording();
    match_.reset();
}

void OnlineFeed::input(const InputRecord& record) {
    if (record.kind == InputRecord::Kind::KeyDown && record.code == Keyboard::F1 + 2) {
        overlay_ = !overlay_; // F3
        return;
    }
    if (match_->phase() == OnlineMatch::Phase::Left)
        localInputs_.push_back(record);
    else
        match_->liveInput(record);
}

void OnlineFeed::afterLeaving() {
    leftHandled_ = true;
    finishRecording();
    // The local recorder set aside at the start has not seen the online frames: a replay it went
    // on to write would not re-simulate. It ends here, and local play after leaving a room goes
    // unrecorded for the rest of the run.
    stashedTap_.reset();
    if (setup_.left)
        setup_.left();
}

void OnlineFeed::enterFrame(Main& main, int due) {
    if (!loop_)
        stashedTap_ = main.takeTap();
    loop_ = &main;
    const double now = Timer::stamp();

    if (match_->phase() != OnlineMatch::Phase::Left) {
        // The others cannot wait for a window in the background: it plays on while in a room.
        if (Stage* stage = main.stage())
            stage->pauseWhenDeactivated = false;
        match_->frame(due, now * 1000);
        if (link_.empty() && match_->room()) {
            link_ = relay::formatRoomLink({setup_.relayHost, setup_.relayPort, match_->room()});
            if (setup_.roomOpened)
                setup_.roomOpened(link_);
        }
        measure(now);
        if (match_->phase() == OnlineMatch::Phase::Left) {
            afterLeaving();
            if (Stage* stage = main.stage())
                stage->pauseWhenDeactivated = true;
        }
        showKeysThatSteer(main, match_.get());
        main.playFrame({}, 0);
    } else {
        // ESC leaves the room between frames, and the match ends with it: the recording, the
        // host's relay (whose room closes, so that every other peer is told) and all.
        if (!leftHandled_) {
            afterLeaving();
            if (Stage* stage = main.stage())
                stage->pauseWhenDeactivated = true;
        }
        showKeysThatSteer(main, nullptr);
        std::vector<InputRecord> inputs;
        inputs.swap(localInputs_);
        main.playFrame(inputs, due);
    }
    draw(main);
}

void OnlineFeed::measure(double nowS) {
    const RollbackSession* session = match_->session();
    if (!session)
        return;
    const RollbackStats& stats = session->stats();
    gathering_.resimulationMs += stats.lastFrameResimulationSeconds * 1000;
    // A session is new with every round: its counts start again.
    if (stats.resimulatedSteps < resimulatedSteps_)
        resimulatedSteps_ = 0;
    const auto frameSteps = stats.resimulatedSteps - resimulatedSteps_;
    resimulatedSteps_ = stats.resimulatedSteps;
    gathering_.deepestRollback =
        std::max(gathering_.deepestRollback,
                 static_cast<int>((frameSteps + kStepsPerTick - 1) / kStepsPerTick));
    if (secondStartS_ < 0)
        secondStartS_ = nowS;
    if (nowS - secondStartS_ < 1)
        return;
    gathering_.roundTripMs = session->roundTripMs();
    gathering_.inputDelay = session->inputDelay();
    shown_ = gathering_;
    gathering_ = {};
    secondStartS_ = nowS;
    if (setup_.everySecond)
        setup_.everySecond(shown_);
}

void OnlineFeed::draw(Main& main) {
    Game* game = main.game();
    if (!game || !Game::tiler)
        return;
    Tiler& tiler = *Game::tiler;
    const double scrollX = tiler.scrollX, scrollY = tiler.scrollY;
    tiler.scrollX = tiler.scrollY = 0;
    tiler.beginDraw();
    const bool inRoom = match_->phase() != OnlineMatch::Phase::Left;
    const bool title = game->heroes.empty();
    if (inRoom && title) {
        const std::string room = link_.empty() ? "Connecting..." : link_;
        const std::string who = whoIsConnected(*match_);
        // One line above the title's name when it fits; a second one would run into the name.
        const std::string both =
            room +
            std::string(static_cast<std::size_t>(kLineGapPx / text_line::kSpaceAdvancePx), ' ') +
            who;
        if (text_line::width(tiler, both) <= kScreenWidthPx - 8) {
            text_line::drawCentred(tiler, both, kScreenWidthPx / 2, kLinkY);
        } else {
            text_line::drawCentred(tiler, room, kScreenWidthPx / 2, kLinkY);
            text_line::drawCentred(tiler, who, kScreenWidthPx / 2, kStatusY);
        }
    } else if (!inRoom && title && !match_->leftBecause().empty()) {
        text_line::drawCentred(tiler, match_->leftBecause(), kScreenWidthPx / 2, kLinkY);
    }
    // Every seat taken by other games: this one can only watch until one frees.
    if (inRoom && match_->seatsHeldElsewhere() == kAllSeats)
        text_line::drawCentred(tiler, "WATCHING", kScreenWidthPx / 2, kWatchingY);
    if (inRoom)
        for (const auto& seat : match_->remoteSeats())
            text_line::draw(tiler, connectionMark(seat.roundTripMs),
                            kPanelWidthPx * seat.seat + kMarkDx, kMarkY);
    if (inRoom && overlay_) {
        const Figures& f = shown_;
        const std::string lines[] = {
            "Round trip " + (f.roundTripMs < 0 ? std::string("-") : fixed(f.roundTripMs, 0)) +
                " ms",
            "Input delay " + std::to_string(f.inputDelay),
            "Rollback depth " + std::to_string(f.deepestRollback),
            "Resimulation " + fixed(f.resimulationMs, 1) + " ms/s",
        };
        double y = kStatusY + 2 * kLineHeightPx;
        for (const std::string& line : lines) {
            text_line::draw(tiler, line, 4, y);
            y += kLineHeightPx;
        }
    }
    tiler.endDraw(main.graphics());
    tiler.scrollX = scrollX;
    tiler.scrollY = scrollY;
}

} // namespace zindle::net
