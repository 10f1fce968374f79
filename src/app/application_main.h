#pragma once
// Start-up: the package strings, the window, and Main once the stage exists.

#include <string>

namespace zindle {

class ApplicationMain {
public:
    ApplicationMain() = delete;

    static void main();
    // The process entry's guard around main(): a fatal error is shown in a message box captioned
    // "Error" and written to standard error, and the result is 1; otherwise 0.
    static int run();
    // Shows a fatal error to the player ("Error") and writes it to standard error; for errors
    // that escape the program's callbacks where the start has already returned (a web page).
    static void reportFatal(const std::string& text);
};

} // namespace zindle
