// Starting the real program on the headless media layer, delivering frames and scripted input
// on the simulated clock, and gathering the run's figures after every step.
#include "simulation.h"

#include "app/application_main.h"
#include "app/process_state.h"
#include "framework/assets.h"
#include "framework/random.h"
#include "loop/main.h"
#include "match/board.h"
#include "match/game.h"
#include "media/common/mix_policy.h"
#include "sound/music.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sys/resource.h>
#include <unistd.h>

namespace zindle::sim {
namespace {

constexpr std::size_t kChannelRecordsKept = 4096; // records before finished ones are dropped

bool hasData(const std::filesystem::path& root) {
    std::error_code ec;
    return std::filesystem::exists(root / "assets" / "gametiles.txt", ec);
}

std::optional<std::filesystem::path> searchUp(std::filesystem::path dir) {
    while (!dir.empty()) {
        if (hasData(dir))
            return dir;
        if (dir == dir.parent_path())
            break;
        dir = dir.parent_path();
    }
    return std::nullopt;
}

} // namespace

std::string soundCategory(const HeadlessMedia::ChannelRecord& record) {
    return record.music ? "music" : soundFamily(record.path);
}

std::filesystem::path locateDataRoot() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec).parent_path();
    if (auto root = searchUp(exe))
        return *root;
    if (auto root = searchUp(std::filesystem::current_path(ec)))
        return *root;
    return exe;
}

long peakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss; // KiB on Linux
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

long currentRssKb() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Stands in for the Game as Main's board: forwards everything and lets the run look at the
// world around every step. The Game itself stays untouched.
class Simulation::Probe : public Board {
public:
    Probe(std::unique_ptr<Board> inner, Simulation& run) : inner_(std::move(inner)), run_(run) {}
    void update(double dt) override {
        inner_->update(dt);
        run_.afterStep();
    }
    void draw(Graphics& graphics) override {
        inner_->draw(graphics);
        ++draws;
    }
    void onInput(int device, int key, int state, bool ctrl) override {
        inner_->onInput(device, key, state, ctrl);
    }
    Game* match() override { return inner_->match(); }
    std::int64_t draws = 0;

private:
    std::unique_ptr<Board> inner_;
    Simulation& run_;
};

Simulation::Simulation(RunConfig config) : config_(std::move(config)) {
    media_ = config_.makeMedia ? &static_cast<HeadlessMedia&>(media_install(config_.makeMedia()))
                               : &HeadlessMedia::install();
    media_->setKeepAllFrames(config_.keepAllFrames);
    media_->setTime(0);
    Assets::setSearchRoots({config_.dataRoot.empty() ? locateDataRoot() : config_.dataRoot});
    seedRandom(config_.seed);
    if (config_.randomNumbers) {
        setRandomSource([this] {
            if (nextRandom_ >= config_.randomNumbers->size())
                throw RandomExhausted("ran out of random numbers after " +
                                      std::to_string(config_.randomNumbers->size()) + " (frame " +
                                      std::to_string(frame_) + ")");
            return (*config_.randomNumbers)[nextRandom_++];
        });
    }

    try {
        ApplicationMain::main();
        game_ = dynamic_cast<Game*>(Main::board.get());
        if (!game_)
            throw std::runtime_error("the program started without its Game");
    } catch (...) {
        // A failed start leaves no half-made program behind for the next run in this process.
        takeDown();
        throw;
    }
    auto probe = std::make_unique<Probe>(std::move(Main::board), *this);
    probe_ = probe.get();
    Main::board = std::move(probe);
    if (config_.makeTap)
        Main::tap = config_.makeTap(*this);

    for (int player : config_.aiPlayers) {
        // What CTRL+digit does, and told to a recorder as that key, so that a replay of this
        // run brings the same computer players in.
        if (Main::tap) {
            InputRecord key;
            key.code = '0' + player;
            key.modifiers = InputRecord::kCtrl;
            Main::tap->input(key);
            key.kind = InputRecord::Kind::KeyUp;
            Main::tap->input(key);
        }
        game_->toggleComputerPlayer(player - 1); // players are numbered from 1 here
    }
}

Simulation::~Simulation() {
    takeDown();
}

void Simulation::takeDown() {
    resetProcessState();
}

Game& Simulation::game() {
    return *game_;
}

bool Simulation::closed() const {
    return media_->closed();
}

void Simulation::deliver(MediaEvent record) {
    if (record.type == MediaEventType::KEY_DOWN || record.type == MediaEventType::KEY_UP)
        record.target = static_cast<int>(media_->stage());
    media_->send(record);
}

void Simulation::runFrame() {
    if (closed())
        return;
    const double now = static_cast<double>(frame_) / kFrameRate;
    media_->setTime(now);
    while (nextEvent_ < config_.script.size() && config_.script[nextEvent_].time <= now &&
           !closed())
        deliver(config_.script[nextEvent_++].record);
    if (closed())
        return;

    // The stage renders on a poll once a whole frame period has passed since its last render.
    // k/60 - (k-1)/60 can round to a hair under 1/60, so a poll alone may skip a frame; a
    // redraw then renders it, as the event loop would a moment later.
    const std::int64_t drawsBefore = probe_->draws;
    MediaEvent poll;
    poll.type = MediaEventType::POLL;
    media_->send(poll);
    if (probe_->draws == drawsBefore && !closed()) {
        MediaEvent redraw;
        redraw.type = MediaEventType::REDRAW;
        media_->send(redraw);
    }
    if (!media_->frames().empty() && media_->frames().back().time == now)
        stats_.maxTilesPerFrame =
            std::max(stats_.maxTilesPerFrame, media_->frames().back().tiles.size());

    // Effects are a fraction of a second long: let them end once their frame is over, so the
    // channel lists stay as short as in the game. Music loops and plays on.
    media_->completeAllEffects();
    if (media_->channels().size() > kChannelRecordsKept &&
        soundsSeen_ == media_->channels().size()) {
        media_->clearChannels();
        soundsSeen_ = media_->channels().size();
    }
    ++frame_;
    stats_.frames = frame_;
}

void Simulation::runFrames(std::int64_t count) {
    while (frame_ < count && !closed())
        runFrame();
}

void Simulation::afterStep() {
    const Game& g = game();
    stats_.catches = g.tally.catches;
    stats_.falls = g.tally.falls;
    stats_.wins = g.tally.wins;
    stats_.maxTrails = std::max(stats_.maxTrails, g.trails.size());
    stats_.maxSparkles = std::max(stats_.maxSparkles, g.sparkles.size());

    const auto& channels = media_->channels();
    std::span<const HeadlessMedia::ChannelRecord> started;
    if (soundsSeen_ < channels.size())
        started = std::span(channels).subspan(soundsSeen_);
    for (const auto& record : started)
        ++stats_.soundsByCategory[soundCategory(record)];
    soundsSeen_ = channels.size();

    if (observer_)
        observer_({stats_.steps, frame_, g, started});
    ++stats_.steps;
}

} // namespace zindle::sim
