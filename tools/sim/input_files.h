#pragma once
// The two input files of a headless run: an input script (timed key, axis and button events)
// and a list of random numbers. Both are read whole up front, so a bad line stops the run
// before the first frame rather than somewhere in the middle of a match.
#include "framework/media.h"

#include <istream>
#include <stdexcept>
#include <string>
#include <vector>

namespace zindle::sim {

// A line the tool cannot use; what() names the file and the line.
class InputFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One scripted event: delivered before the first frame whose time is at or after time.
struct ScriptEvent {
    double time = 0; // seconds of the simulated clock
    MediaEvent record;
    int line = 0;
};

// Lines: "TIME keydown CODE [ctrl] [alt]", "TIME keyup CODE [ctrl] [alt]",
// "TIME axis DEVICE AXIS VALUE", "TIME buttondown DEVICE BUTTON", "TIME buttonup DEVICE BUTTON".
// Blank lines and lines starting with '#' are skipped. Events come back sorted by time; events
// with the same time keep their file order. name is used in error messages only.
std::vector<ScriptEvent> parseScript(std::istream& in, const std::string& name);
std::vector<ScriptEvent> readScript(const std::string& path);

// One number in [0, 1) per line; blank lines and '#' comments are skipped.
std::vector<double> parseRandomNumbers(std::istream& in, const std::string& name);
std::vector<double> readRandomNumbers(const std::string& path);

} // namespace zindle::sim
