// The pacing log's file and its one line per present; nothing is opened unless asked for.
#include "app/pacing_log.h"

#include "framework/lib.h"
#include "framework/stage.h"
#include "loop/main.h"

#include <chrono>
#include <cstdlib>
#include <memory>

namespace zindle {

std::function<void(double)> PacingLog::fromEnvironment() {
    const char* path = std::getenv("ZINDLE_PACING_LOG");
    if (path == nullptr || *path == '\0')
        return {};
    auto log = std::make_shared<PacingLog>(path);
    return [log](double stamp) { log->record(stamp); };
}

PacingLog::PacingLog(const std::string& path) : file_(std::fopen(path.c_str(), "w")) {}

PacingLog::~PacingLog() {
    if (file_ != nullptr)
        std::fclose(file_);
}

void PacingLog::record(double presentStamp) {
    if (file_ == nullptr)
        return;
    const double monotonic =
        std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    // The stage exists whenever a present happens; the first frame may come before Main.
    double frameStart = presentStamp;
    try {
        frameStart = Lib::stage().mediaLastRender;
    } catch (const std::exception&) {
    }
    std::fprintf(file_, "%.6f %.6f %.6f %llu\n", monotonic, presentStamp, frameStart,
                 static_cast<unsigned long long>(Main::stepsTaken));
    // Flushed each frame so that a killed process leaves a complete record (a frame's line is
    // some 50 bytes; this costs nothing next to a present).
    std::fflush(file_);
}

} // namespace zindle
