// Swapping the live game for a replay and back. The swap happens outside the viewer's own
// calls (ESC reaches the viewer, which must not be destroyed under it): leaving waits for the
// end of the frame.
#include "app/replay_watching.h"

#include "framework/lib.h"
#include "framework/random.h"
#include "loop/main.h"
#include "replay/replay_reader.h"
#include "replay/replay_viewer.h"

#include <random>

namespace zindle {

std::function<std::unique_ptr<MatchTap>(std::uint64_t)> ReplayWatching::makeRecorder;

namespace {
void backToPlay() {
    Main::feed.reset();
    Main::tap.reset();
    setDrawingStream(std::nullopt);
    std::random_device device;
    const std::uint64_t seed = (static_cast<std::uint64_t>(device()) << 32) ^ device();
    Main::restartGame(seed);
    if (ReplayWatching::makeRecorder)
        Main::tap = ReplayWatching::makeRecorder(seed);
    // The new game owes no steps for the time spent watching.
    Main::nextUpdateTime = Timer::stamp();
}
} // namespace

std::optional<std::string> ReplayWatching::watch(const std::filesystem::path& file) {
    Replay replay;
    try {
        replay = readReplayFile(file);
    } catch (const ReplayError& e) {
        return std::string(e.what());
    }
    // The live recording ends here (its file says so), and the game starts again as the
    // recorded one did.
    Main::feed.reset();
    Main::tap.reset();
    setDrawingStream(std::nullopt);
    Main::restartGame(replay.header.seed);
    ReplayViewer::install(std::move(replay), file.string());
    static_cast<ReplayViewer&>(*Main::feed).leave = &ReplayWatching::leave;
    return std::nullopt;
}

void ReplayWatching::leave() {
    Main::afterFrame = &backToPlay;
}

} // namespace zindle
