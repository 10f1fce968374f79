#pragma once
// One JSON line per step: the board, every hero, cloud, the MacGuffin with its flares, the
// particle counts and the sounds the step started.
#include "simulation.h"

#include <string>

namespace zindle::sim {

std::string traceLine(const StepReport& report);

} // namespace zindle::sim
