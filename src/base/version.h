#pragma once
// The game's version. The build defines it from the project's version, so that the package,
// the command line and the framework's package strings always agree.

namespace zindle {

inline constexpr const char* kVersion = ZINDLE_VERSION;

} // namespace zindle
