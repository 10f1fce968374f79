#pragma once
// A record of every presented frame, for measuring start-up and frame pacing on the real game:
// off unless ZINDLE_PACING_LOG names a file. One line per present:
//   monotonic-seconds  stamp-at-present  stamp-at-frame-start  steps-so-far
// The monotonic clock is the system's (CLOCK_MONOTONIC), so a script can set it against the
// moment it started the process; stamps are the game's clock (Timer::stamp).
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace zindle {

class PacingLog {
public:
    // An observer for the media layer's presents that logs them, if the environment asks for
    // it; otherwise an empty function.
    static std::function<void(double)> fromEnvironment();

    explicit PacingLog(const std::string& path);
    PacingLog(const PacingLog&) = delete;
    PacingLog& operator=(const PacingLog&) = delete;
    ~PacingLog();

    void record(double presentStamp);

private:
    std::FILE* file_ = nullptr;
};

} // namespace zindle
