// Re-simulating a replay: one recorded frame for every frame the simulation delivers.
#include "replay_run.h"

#include "loop/main.h"

namespace zindle::sim {

class ReplayRun::Feed : public FrameFeed {
public:
    explicit Feed(ReplayCursor& cursor) : cursor_(cursor) {}
    void enterFrame(Main& main) override { cursor_.playNext(main); }

private:
    ReplayCursor& cursor_;
};

namespace {
RunConfig fromReplay(const Replay& replay, RunConfig config) {
    config.seed = replay.header.seed;
    config.aiPlayers.clear();
    config.script.clear();
    config.randomNumbers.reset();
    return config;
}
} // namespace

ReplayRun::ReplayRun(const Replay& replay, RunConfig base)
    : replay_(replay), sim_(std::make_unique<Simulation>(fromReplay(replay, std::move(base)))),
      cursor_(replay) {
    Main::feed = std::make_unique<Feed>(cursor_);
    auto checker = std::make_unique<ReplayChecker>(replay, [this] { return &sim_->game(); });
    checker_ = checker.get();
    Main::tap = std::move(checker);
}

void ReplayRun::run() {
    runFrames(replay_.frames);
}

void ReplayRun::runFrames(std::uint64_t count) {
    // Past the first difference nothing more is learnt: every later checksum differs too.
    while (cursor_.frame() < count && !cursor_.atEnd() && !sim_->closed() &&
           !checker_->firstMismatch())
        sim_->runFrame();
}

} // namespace zindle::sim
