// Turning a requested start time into a place within a looping track.
#include "media/common/sound_start.h"

#include <cmath>

namespace zindle {

double startSeconds(double startTimeMs) {
    if (!std::isfinite(startTimeMs) || startTimeMs <= 0)
        return 0;
    return startTimeMs / 1000.0;
}

double positionInLoop(double seconds, double length) {
    if (!std::isfinite(length) || length <= 0 || !std::isfinite(seconds) || seconds <= 0)
        return 0;
    return std::fmod(seconds, length);
}

} // namespace zindle
