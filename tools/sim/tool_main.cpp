// The --trace file and the exit status for each kind of failure, shared by both tools.
#include "tool_main.h"

#include "input_files.h"
#include "options.h"
#include "trace.h"

#include <iostream>

namespace zindle::sim {

TraceFile::TraceFile(const std::string& path) : path_(path) {
    if (path_.empty())
        return;
    out_.open(path_, std::ios::binary | std::ios::trunc);
    if (!out_)
        throw UsageError("--trace: cannot write " + path_);
}

void TraceFile::attach(Simulation& sim) {
    if (out_.is_open())
        sim.setStepObserver([this](const StepReport& step) { out_ << traceLine(step) << '\n'; });
}

void TraceFile::finish() {
    if (!out_.is_open())
        return;
    out_.flush();
    if (!out_)
        throw std::runtime_error("--trace: writing " + path_ + " failed");
}

int runTool(const char* name, int argc, char** argv,
            int (*body)(const std::vector<std::string>& args), const std::string& failurePrefix) {
    try {
        return body(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const UsageError& e) {
        std::cerr << name << ": " << e.what() << "\n(try --help)\n";
        return kExitUsage;
    } catch (const InputFileError& e) {
        std::cerr << name << ": " << e.what() << "\n";
        return kExitUsage;
    } catch (const RandomExhausted& e) {
        std::cerr << name << ": --random: " << e.what() << "\n";
        return kExitOutOfRandom;
    } catch (const std::exception& e) {
        std::cerr << name << ": " << failurePrefix << e.what() << "\n";
        return kExitProgramError;
    }
}

} // namespace zindle::sim
