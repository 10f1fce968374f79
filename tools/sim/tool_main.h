#pragma once
// What zindle-sim and zindle-shot share around their run: the --trace file and the mapping of
// failures to exit statuses.
#include "simulation.h"

#include <fstream>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace zindle::sim {

// Output that could not be written (a full disk, a closed pipe): the run stops at once.
class OutputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The --trace file: opened before the run (a bad path fails before anything starts), then fed
// one line per step by the simulation.
class TraceFile {
public:
    // Opens path; an empty path traces nothing. Throws UsageError when it cannot be written.
    explicit TraceFile(const std::string& path);
    void attach(Simulation& sim);
    // Throws OutputError when writing failed (also during the run, from the step that failed).
    void finish();

private:
    std::string path_;
    std::ofstream out_;
};

// Runs a tool's body, turning its failures into one line on standard error and the tool's exit
// status. failurePrefix stands before the text of any other error. The body writes its result
// to out (standard output); std::cout goes to standard error meanwhile.
int runTool(const char* name, int argc, char** argv,
            int (*body)(const std::vector<std::string>& args, std::ostream& out),
            const std::string& failurePrefix);

} // namespace zindle::sim
