#pragma once
// A relay holds a descriptor per connection: the soft limit a shell hands out (often 1,024) is
// far below the connection cap, while the hard limit usually is not.
#include <string>

namespace zindle::relay {

// Raises this process's soft limit on open files to its hard limit. Returns a line to log when
// that failed, else nothing.
std::string raiseDescriptorLimit();

} // namespace zindle::relay
