// The --trace file and the exit status for each kind of failure, shared by both tools.
#include "tool_main.h"

#include "app/standard_streams.h"
#include "input_files.h"
#include "options.h"
#include "replay/replay_reader.h"
#include "trace.h"

#include "framework/untrusted_text.h"

#include <cerrno>
#include <cstring>
#include <iostream>

namespace zindle::sim {

TraceFile::TraceFile(const std::string& path) : path_(path) {
    if (path_.empty())
        return;
    out_.open(path_, std::ios::binary | std::ios::trunc);
    if (!out_)
        throw UsageError("--trace: cannot write " + quoteUntrusted(path_));
}

void TraceFile::attach(Simulation& sim) {
    // Checked after every line: a full disk stops the run at its first steps, not after an
    // hour of simulation whose trace is lost anyway.
    if (out_.is_open())
        sim.setStepObserver([this](const StepReport& step) {
            out_ << traceLine(step) << '\n';
            if (!out_)
                throw OutputError("--trace: writing " + quoteUntrusted(path_) +
                                  " failed: " + std::strerror(errno));
        });
}

void TraceFile::finish() {
    if (!out_.is_open())
        return;
    out_.flush();
    if (!out_)
        throw OutputError("--trace: writing " + quoteUntrusted(path_) +
                          " failed: " + std::strerror(errno));
}

int runTool(const char* name, int argc, char** argv,
            int (*body)(const std::vector<std::string>& args, std::ostream& out),
            const std::string& failurePrefix) {
    // With standard output closed, the first file opened (the --trace file) would take its
    // number and receive the result: the result has nowhere to go, so the tool stops first.
    if (keepStandardDescriptorsOpen().output) {
        std::cerr << name << ": standard output is closed; the result has nowhere to go\n";
        return kExitUsage;
    }
    // Standard output carries the tool's result alone, so that it can be parsed: whatever the
    // game itself writes there (warnings about its data) goes to standard error instead.
    struct Redirect {
        std::streambuf* stdoutBuffer = std::cout.rdbuf(std::cerr.rdbuf());
        ~Redirect() { std::cout.rdbuf(stdoutBuffer); }
    } redirect;
    std::ostream out(redirect.stdoutBuffer);
    try {
        const int status = body(std::vector<std::string>(argv + 1, argv + argc), out);
        if (!out.flush())
            throw OutputError("writing standard output failed: " +
                              std::string(std::strerror(errno)));
        return status;
    } catch (const OutputError& e) {
        std::cerr << name << ": " << e.what() << "\n";
        return kExitUsage;
    } catch (const UsageError& e) {
        std::cerr << name << ": " << e.what() << "\n(try --help)\n";
        return kExitUsage;
    } catch (const InputFileError& e) {
        std::cerr << name << ": " << e.what() << "\n";
        return kExitUsage;
    } catch (const ReplayError& e) {
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
