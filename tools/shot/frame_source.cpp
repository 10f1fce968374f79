// The two sources of zindle-shot's frames: a headless run and a re-simulated replay.
#include "frame_source.h"

#include "base/rules.h"
#include "base/version.h"
#include "replay/replay_cursor.h"
#include "replay/replay_notes.h"
#include "replay/replay_reader.h"
#include "replay_run.h"
#include "tool_main.h"

#include <iostream>
#include <stdexcept>

namespace zindle::shot {
namespace {

using sim::Simulation;
using sim::TraceFile;

void requireFrame(HeadlessMedia& media, const std::string& what) {
    if (media.frames().empty())
        throw std::runtime_error("no frame was rendered by " + what);
}

class RunSource : public FrameSource {
public:
    explicit RunSource(const sim::CommonOptions& options)
        : trace_(options.tracePath), sim_(options.run) {
        trace_.attach(sim_);
    }
    int ticksPerSecond() const override { return static_cast<int>(sim::kFrameRate); }
    void checkReaches(std::int64_t, const std::string&) const override {}
    void advanceTo(std::int64_t tick, const std::string& what) override {
        sim_.runFrames(tick + 1);
        if (sim_.closed())
            throw std::runtime_error("the program closed before " + what);
        requireFrame(sim_.media(), what);
    }
    HeadlessMedia& media() override { return sim_.media(); }
    int finish() override {
        trace_.finish();
        return sim::kExitOk;
    }

private:
    TraceFile trace_;
    Simulation sim_;
};

class ReplaySource : public FrameSource {
public:
    ReplaySource(const sim::CommonOptions& options, std::string path)
        : path_(std::move(path)), replay_(readReplayFile(path_)), trace_(options.tracePath),
          run_(replay_, options.run) {
        if (const std::string note = otherVersionNote(replay_); !note.empty())
            std::cerr << path_ << ": " << note << "\n";
        if (const std::string stop = whereRecordingStops(replay_); !stop.empty())
            std::cerr << path_ << ": " << stop << "\n";
        trace_.attach(run_.simulation());
    }
    int ticksPerSecond() const override { return static_cast<int>(rules::kStepsPerSecond); }
    void checkReaches(std::int64_t tick, const std::string& label) const override {
        if (replay_.joinStep + static_cast<std::uint64_t>(tick) > replay_.steps)
            throw sim::UsageError(path_ + ": the recording ends at " +
                                  matchClock(matchSecondsAt(replay_, replay_.steps)) +
                                  " of the match, before " + label + " s");
    }
    // As the viewer does: the first frame whose steps reach the moment.
    void advanceTo(std::int64_t tick, const std::string& what) override {
        const std::uint64_t target = replay_.joinStep + static_cast<std::uint64_t>(tick);
        const ReplayCursor& cursor = run_.cursor();
        Simulation& sim = run_.simulation();
        while ((cursor.frame() == 0 || cursor.step() < target) && !cursor.atEnd() && !sim.closed())
            sim.runFrame();
        if (sim.closed())
            throw std::runtime_error("the program closed before " + what);
        if (cursor.step() < target)
            throw std::runtime_error(path_ + ": the recording ends before " + what);
        requireFrame(sim.media(), what);
    }
    HeadlessMedia& media() override { return run_.simulation().media(); }
    int finish() override {
        trace_.finish();
        if (const auto mismatch = run_.checker().firstMismatch()) {
            std::cerr << "zindle-shot: " << path_ << ": the game differs from the recording at "
                      << matchClock(matchSecondsAt(replay_, *mismatch)) << " of the match (step "
                      << *mismatch << " since the game started)\n";
            return sim::kExitProgramError;
        }
        return sim::kExitOk;
    }

private:
    std::string path_;
    Replay replay_; // before run_, which reads it
    TraceFile trace_;
    sim::ReplayRun run_;
};

} // namespace

std::unique_ptr<FrameSource> makeFrameSource(const sim::CommonOptions& options,
                                             const std::string& replayPath) {
    if (replayPath.empty())
        return std::make_unique<RunSource>(options);
    return std::make_unique<ReplaySource>(options, replayPath);
}

} // namespace zindle::shot
