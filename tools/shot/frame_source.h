#pragma once
// Where zindle-shot's frames come from: a fresh headless run, whose clock starts with the
// program, or a recorded match re-simulated, whose clock is the match's own (from the first
// join, as the replay viewer shows it).
#include "options.h"
#include "simulation.h"

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>

namespace zindle::shot {

class FrameSource {
public:
    virtual ~FrameSource() = default;

    // The source's clock: frames of a run, steps of a recorded match.
    virtual int ticksPerSecond() const = 0;
    // The first tick at or after seconds; the tolerance absorbs a product landing a hair above
    // a whole number.
    std::int64_t tickAt(double seconds) const {
        return static_cast<std::int64_t>(std::ceil(seconds * ticksPerSecond() - 1e-9));
    }
    // Refuses, before any work, a moment the source cannot reach (label names it).
    virtual void checkReaches(std::int64_t tick, const std::string& label) const = 0;
    // Runs on to the frame shown at tick; throws std::runtime_error naming what when the run
    // ends before.
    virtual void advanceTo(std::int64_t tick, const std::string& what) = 0;
    virtual HeadlessMedia& media() = 0;
    // Ends the run (its trace); the exit status: 0, or 1 after saying on standard error why the
    // pictures are not to be trusted.
    virtual int finish() = 0;
};

// A replay when replayPath is not empty (throws ReplayError for a file that is not a readable
// replay), else the run that options describe.
std::unique_ptr<FrameSource> makeFrameSource(const sim::CommonOptions& options,
                                             const std::string& replayPath);

} // namespace zindle::shot
