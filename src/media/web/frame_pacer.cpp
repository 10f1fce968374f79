// Deciding at each of the browser's refreshes whether the stage's frame is served now: a frame
// due before the next refresh is served at this one, with the clock moved up to its due time.
#include "media/web/frame_pacer.h"

#include <cmath>

namespace zindle {

namespace {
// s: the longest refresh interval that lets a frame be served early. A stall (a hidden tab, a
// long task) must not let the clock jump far ahead; 25 ms covers a 40 Hz screen.
constexpr double kLongestLead = 0.025;
} // namespace

void FramePacer::wakeRequested(double now, double seconds) {
    if (std::isnan(seconds))
        seconds = 0;
    wakeAt_ = now + seconds;
    // A frame's wake comes earlyWakeup before the frame; a wake of 0 or less means it is overdue.
    frameDue_ = wakeAt_ + earlyWakeup_;
}

bool FramePacer::serve(double realNow, double interval) {
    const double lead = std::clamp(interval, 0.0, kLongestLead);
    if (frameDue_ <= realNow + lead) {
        floor_ = std::max(floor_, frameDue_);
        return true;
    }
    return clock(realNow) >= wakeAt_;
}

} // namespace zindle
