#pragma once
// Guards for the display the game runs on: a clean end when the X server goes away, and a
// refusal to play to no window at all.

namespace zindle {

// One line on standard error for a request the X server refused (at most a few per run); the
// game goes on.
void reportRefusedRequest(int errorCode, int requestCode);

// Call once the video subsystem has started. Throws std::runtime_error when SDL fell back to a
// driver that shows nothing although nobody chose one; under X, makes the loss of the display
// end the process at once with one line on standard error and status 1, and a refused request
// be reported and skipped instead of ending the process in the middle of a call.
void guardDisplay();

} // namespace zindle
