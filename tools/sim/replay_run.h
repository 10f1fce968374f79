#pragma once
// A replay re-simulated headless: the recorded seed, every recorded frame in place of the
// clock and the scripted input, and every recorded checksum compared as the steps run.
#include "replay/replay.h"
#include "replay/replay_checker.h"
#include "replay/replay_cursor.h"
#include "simulation.h"

#include <memory>

namespace zindle::sim {

class ReplayRun {
public:
    // base gives the data folder and the media layer; seed, computer players and script come
    // from the replay alone.
    ReplayRun(const Replay& replay, RunConfig base);

    // Runs every recorded frame, until the game closes its window or first differs from the
    // recording.
    void run();
    // Runs frames until count have been played (with the same two stops).
    void runFrames(std::uint64_t count);

    Simulation& simulation() { return *sim_; }
    const ReplayChecker& checker() const { return *checker_; }
    const ReplayCursor& cursor() const { return cursor_; }

private:
    class Feed;
    const Replay& replay_;
    std::unique_ptr<Simulation> sim_;
    ReplayCursor cursor_;
    ReplayChecker* checker_ = nullptr; // owned by Main::tap
};

} // namespace zindle::sim
