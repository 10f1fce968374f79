#pragma once
// What zindle-sim and zindle-shot share around their run: the --trace file and the mapping of
// failures to exit statuses.
#include "simulation.h"

#include <fstream>
#include <string>
#include <vector>

namespace zindle::sim {

// The --trace file: opened before the run (a bad path fails before anything starts), then fed
// one line per step by the simulation.
class TraceFile {
public:
    // Opens path; an empty path traces nothing. Throws UsageError when it cannot be written.
    explicit TraceFile(const std::string& path);
    void attach(Simulation& sim);
    // Throws when writing failed on the way.
    void finish();

private:
    std::string path_;
    std::ofstream out_;
};

// Runs a tool's body, turning its failures into one line on standard error and the tool's exit
// status. failurePrefix stands before the text of any other error.
int runTool(const char* name, int argc, char** argv,
            int (*body)(const std::vector<std::string>& args), const std::string& failurePrefix);

} // namespace zindle::sim
