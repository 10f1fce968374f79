#pragma once
// A headless run of the real program: ApplicationMain on the in-memory media layer, with the
// clock at exactly k/60 s when frame k is delivered, scripted input, and a seeded or scripted
// random source. zindle-sim, zindle-shot and the benchmarks all drive the game through it.
#include "input_files.h"
#include "loop/frame_hooks.h"
#include "media/headless/headless_media.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace zindle {
class Game;
}

namespace zindle::sim {

constexpr double kFrameRate = 60.0; // frames per second of the simulated clock

class Simulation;

struct RunConfig {
    std::uint64_t seed = 1;
    std::vector<int> aiPlayers; // player numbers 1 to 4, switched to the computer before frame 0
    std::vector<ScriptEvent> script;
    std::optional<std::vector<double>> randomNumbers; // replaces the seeded generator
    std::filesystem::path dataRoot; // the folder holding assets/; empty: found from the executable
    bool keepAllFrames = false;     // otherwise only the last rendered frame is kept
    // Makes the media layer to run on; empty: a plain headless one. A measurement that needs a
    // real mixer hands over a headless layer whose sounds go elsewhere.
    std::function<std::unique_ptr<HeadlessMedia>()> makeMedia;
    // Installed as Main's tap once the program has started, before any input (a recorder).
    std::function<std::unique_ptr<MatchTap>(Simulation&)> makeTap;
};

// What a run has seen so far. Catches, falls and wins are the game's own count (Game::tally),
// read after every step.
struct RunStats {
    std::int64_t steps = 0;
    std::int64_t frames = 0;
    std::int64_t catches = 0;
    std::int64_t falls = 0;
    std::int64_t wins = 0;
    std::size_t maxTrails = 0;
    std::size_t maxSparkles = 0;
    std::size_t maxTilesPerFrame = 0;
    std::map<std::string, std::int64_t> soundsByCategory;
};

// One finished step, as an observer sees it.
struct StepReport {
    std::int64_t step;  // from 0
    std::int64_t frame; // the frame whose handler ran the step
    const Game& game;
    // Sounds started since the previous step ended (input handlers between frames included).
    std::span<const HeadlessMedia::ChannelRecord> sounds;
};

// The run ran out of scripted random numbers.
class RandomExhausted : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "explosion3.wav" -> "explosion"; music tracks -> "music".
std::string soundCategory(const HeadlessMedia::ChannelRecord& record);
// The folder holding assets/: the executable's folder or one of its parents, then the working
// directory and its parents; the executable's folder when none has the data.
std::filesystem::path locateDataRoot();
// Peak and current resident set size of this process, in KiB.
long peakRssKb();
long currentRssKb();
// Processor time used by this process so far (user and system), in seconds.
double cpuSeconds();

class Simulation {
public:
    // Installs a fresh headless media layer and starts the program on it (the window, Main,
    // the Game); throws whatever start-up throws (a missing asset, for instance).
    explicit Simulation(RunConfig config);
    Simulation(const Simulation&) = delete;
    Simulation& operator=(const Simulation&) = delete;
    // Takes the program down again so that another run can start in this process.
    ~Simulation();

    // Delivers frame frame(): sets the clock to frame()/60, hands over the scripted events due
    // by then, and makes the stage render exactly once (the frame's steps, then one draw).
    void runFrame();
    // Runs frames until frame() reaches count or the program closes its window.
    void runFrames(std::int64_t count);

    std::int64_t frame() const { return frame_; }
    bool closed() const;
    Game& game();
    HeadlessMedia& media() { return *media_; }
    const RunStats& stats() const { return stats_; }
    // Called after every step.
    void setStepObserver(std::function<void(const StepReport&)> observer) {
        observer_ = std::move(observer);
    }

private:
    class Probe;
    friend class Probe;
    void afterStep();
    void deliver(MediaEvent record);
    static void takeDown();

    RunConfig config_;
    HeadlessMedia* media_ = nullptr;
    Probe* probe_ = nullptr; // owned by Main::board
    Game* game_ = nullptr;   // owned by the probe
    std::int64_t frame_ = 0;
    std::size_t nextEvent_ = 0;
    std::size_t nextRandom_ = 0;
    std::size_t soundsSeen_ = 0;
    RunStats stats_;
    std::function<void(const StepReport&)> observer_;
};

} // namespace zindle::sim
