#pragma once
// Start-up: the package strings, the window, and Main once the stage exists.

namespace zindle {

class ApplicationMain {
public:
    ApplicationMain() = delete;

    static void main();
    // The process entry's guard around main(): a fatal error is shown in a message box captioned
    // "Error" and written to standard error, and the result is 1; otherwise 0.
    static int run();
};

} // namespace zindle
