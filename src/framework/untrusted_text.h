#pragma once
// The one way a diagnostic repeats text it did not write itself (file contents, file names,
// command-line words, environment values): cut short and with everything a terminal could act
// on made visible, so that a hostile file cannot flood the screen or steer the terminal.
#include <cstddef>
#include <string>
#include <string_view>

namespace zindle {

// characters of untrusted text a diagnostic repeats at most
constexpr std::size_t kMaxQuotedCharacters = 64;

// text as a diagnostic may show it: at most kMaxQuotedCharacters characters, then "..." when
// there was more. Control characters, a backslash, bytes that are not UTF-8 and the invisible
// characters that reorder a line are written as escapes (\n, \t, \\, \x1b, \u{202e}); other
// UTF-8 stays as it is. The caller adds its own quotation marks.
std::string quoteUntrusted(std::string_view text);

} // namespace zindle
