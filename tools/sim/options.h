#pragma once
// Command-line options shared by zindle-sim and zindle-shot.
#include "simulation.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace zindle::sim {

// Exit statuses of the tools.
constexpr int kExitOk = 0;
constexpr int kExitProgramError = 1; // the game itself failed (start-up error, exception)
constexpr int kExitUsage = 2;        // bad option or bad line in an input file
constexpr int kExitOutOfRandom = 3;  // the --random file ran out

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// s: the longest run or latest moment the tools accept (about eleven days of play), so that
// every frame count fits and no request runs for ever.
constexpr double kMaxSeconds = 1e6;

struct CommonOptions {
    double seconds = 60;
    RunConfig run;
    std::string tracePath;
};

// Consumes args[i] (and its value) when it is a shared option; false when it is not one.
// Throws UsageError for a bad value and InputFileError for a bad script or random file.
bool parseCommonOption(const std::vector<std::string>& args, std::size_t& i, CommonOptions& out);
// The value after args[i], or a UsageError naming the option.
const std::string& optionValue(const std::vector<std::string>& args, std::size_t& i);
// Comma-separated numbers, each finite.
std::vector<double> parseNumberList(const std::string& option, const std::string& text);
// Comma-separated simulated times, each from 0 to most.
std::vector<double> parseSeconds(const std::string& option, const std::string& text,
                                 double most = kMaxSeconds);
// A seed: a whole number from 0 to 2^64 - 1, in decimal.
std::uint64_t parseSeed(const std::string& option, const std::string& text);
// Opens path for writing (creating it, and removing it again if it was not there) to learn
// before any work whether the output can be written; a UsageError naming option and path if not.
void checkWritable(const std::string& option, const std::string& path);

extern const char* const kCommonUsage;

} // namespace zindle::sim
