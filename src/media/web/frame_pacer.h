#pragma once
// Which of the browser's animation frames serve the stage's wake, and what the clock reads.
// The browser calls back once per display refresh (60, 120, 144 Hz, with some jitter), while the
// stage renders when its clock has passed the frame's due time. Read plainly, a refresh that
// comes a hair before the due time is skipped, and a 60 Hz screen shows 30 frames; on 144 Hz
// the frame waits for the next refresh and lateness accumulates. So a frame that falls due before
// the next refresh is served at this one, with the clock moved up to the due time: the clock
// then leads real time by less than one refresh, never goes backwards, and keeps its rate, so
// the game still takes 300 steps a second.
#include <algorithm>

namespace zindle {

class FramePacer {
public:
    // s: the stage asks for its wake this much before a frame is due.
    explicit FramePacer(double earlyWakeup) : earlyWakeup_(earlyWakeup) {}

    // The stage asked, at clock time now, for a poll within seconds (0 or less: at once).
    void wakeRequested(double now, double seconds);
    // A refresh at real time realNow, interval seconds after the previous one: true when the
    // stage is to get a poll now. May move the clock up to the due time of the frame.
    bool serve(double realNow, double interval);
    // The clock at real time realNow.
    double clock(double realNow) const { return std::max(realNow, floor_); }

private:
    double earlyWakeup_;
    double wakeAt_ = 0;   // clock time of the requested poll
    double frameDue_ = 0; // when the frame would be due, had the wake been a frame's
    double floor_ = 0;    // the clock never reads less than this
};

} // namespace zindle
