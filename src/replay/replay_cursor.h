#pragma once
// Playing a replay back into Main: a cursor that runs the recorded frames one by one.
#include "replay/replay.h"

#include <cstdint>
#include <string>

namespace zindle {

class Main;

class ReplayCursor {
public:
    explicit ReplayCursor(const Replay& replay) : replay_(replay) {}

    bool atEnd() const { return run_ >= replay_.runs.size(); }
    std::uint64_t frame() const { return frame_; } // frames played
    std::uint64_t step() const { return step_; }   // steps played
    // Steps of the next frame; 0 at the end.
    std::uint32_t nextSteps() const { return atEnd() ? 0 : replay_.runs[run_].steps; }
    // Plays the next frame through main (its inputs, its steps, its drawing), after putting the
    // recorded match state in the game when a round started there.
    void playNext(Main& main);

    // Where the cursor stands, to come back to (with the game's state saved there).
    struct Position {
        std::size_t run = 0;
        std::uint32_t inRun = 0;
        std::uint64_t frame = 0;
        std::uint64_t step = 0;
        std::size_t state = 0; // recorded match states already put in the game
    };
    Position position() const { return {run_, inRun_, frame_, step_, state_}; }
    void moveTo(const Position& at) {
        run_ = at.run;
        inRun_ = at.inRun;
        frame_ = at.frame;
        step_ = at.step;
        state_ = at.state;
    }
    void rewind() { moveTo({}); }

private:
    const Replay& replay_;
    std::size_t run_ = 0;
    std::uint32_t inRun_ = 0;
    std::uint64_t frame_ = 0;
    std::uint64_t step_ = 0;
    std::size_t state_ = 0;
};

// "1:05.3": a time of the match in minutes and seconds.
std::string matchClock(double seconds);

} // namespace zindle
