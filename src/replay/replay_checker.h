#pragma once
// A tap that holds the game's state against a replay's recorded checksums as the steps run.
#include "loop/frame_hooks.h"
#include "replay/replay.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace zindle {

class Game;

// Checks every step that ends a second against the recording. Only reads the game.
class ReplayChecker : public MatchTap {
public:
    ReplayChecker(const Replay& replay, std::function<const Game*()> game)
        : replay_(replay), game_(std::move(game)) {}

    void input(const InputRecord&) override {}
    void stepped() override;
    void frameEnded(int) override {}
    // Back to the game's start (a replay that re-simulates from the beginning), or to a step
    // whose state was saved. Seconds already checked are not checked again.
    void rewind(std::uint64_t toStep = 0) { steps_ = toStep; }

    std::size_t checked() const { return checked_; }
    // The step after which the game first differed from the recording, if it has.
    std::optional<std::uint64_t> firstMismatch() const { return firstMismatch_; }

private:
    const Replay& replay_;
    std::function<const Game*()> game_;
    std::uint64_t steps_ = 0;
    std::size_t checked_ = 0;
    std::optional<std::uint64_t> firstMismatch_;
};

} // namespace zindle
