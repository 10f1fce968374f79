#pragma once
// Guards for the display the game runs on: a clean end when the X server goes away, and a
// refusal to play to no window at all.

namespace zindle {

// Call once the video subsystem has started. Throws std::runtime_error when SDL fell back to a
// driver that shows nothing although nobody chose one; under X, makes the loss of the display
// end the process at once with one line on standard error and status 1.
void guardDisplay();

} // namespace zindle
