// Raising the open-file limit as far as this process is allowed.
#include "relay/descriptor_limit.h"

#include <cerrno>
#include <cstring>
#include <sys/resource.h>

namespace zindle::relay {

std::string raiseDescriptorLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return std::string("cannot read the open-file limit: ") + std::strerror(errno);
    if (limit.rlim_cur == limit.rlim_max)
        return {};
    limit.rlim_cur = limit.rlim_max;
    if (setrlimit(RLIMIT_NOFILE, &limit) != 0)
        return std::string("cannot raise the open-file limit: ") + std::strerror(errno);
    return {};
}

} // namespace zindle::relay
