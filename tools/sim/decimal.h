#pragma once
// Reading decimal numbers from options and input files the same way on every build: the
// WebAssembly standard library has no floating-point std::from_chars.
#include <string_view>

namespace zindle::sim {

// True when text is a whole decimal number ("-1.5", "2e-3", ".5"; no sign '+', no spaces, no
// hexadecimal, no "inf" or "nan") that fits a finite double; out is then its nearest double.
bool parseDecimal(std::string_view text, double& out);

} // namespace zindle::sim
