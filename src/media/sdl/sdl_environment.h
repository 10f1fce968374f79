#pragma once
// SDL reads some of its settings from the environment, and a few of them can stall the game or
// exhaust a resource before it draws (a FIFO SDL opens and waits on, a delay of days in the
// audio thread, a picture file written every frame). These are checked before SDL starts.
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace zindle {

// One variable that may not reach SDL as it is: why, and the value it gets instead (none: the
// variable is removed, and SDL takes its own default).
struct EnvironmentFix {
    std::string name;
    std::string problem; // one line, naming the variable and its value (quoted, bounded)
    std::optional<std::string> replacement;
};

// The SDL variables in `lookup` (null when unset) that would stall the game or exhaust a
// resource, each with its fix. Files named by variables are examined where they are, without
// being opened.
std::vector<EnvironmentFix>
reviewSdlEnvironment(const std::function<const char*(const char*)>& lookup);

// Reviews the process's own environment, writes one line per problem to `out`, and removes or
// replaces each such variable. Call before SDL is started.
void guardSdlEnvironment(std::ostream& out);

} // namespace zindle
