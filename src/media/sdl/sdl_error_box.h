#pragma once
// The fatal-error message box, shown so that it ends with the game. SDL shows its box on X from
// a forked process, which a signal to the game would leave on screen, orphaned.
#include <string>

namespace zindle {

// Shows SDL's error box and waits until the player dismisses it. The box runs in a process group
// of its own: SIGTERM, SIGINT or SIGHUP to the game while it waits ends that whole group, then
// the game with the same signal, and the box ends too if the game dies in any other way. Call
// only once the window and the video subsystem have gone (no display connection is shared).
void showErrorBox(const std::string& caption, const std::string& text);

} // namespace zindle
