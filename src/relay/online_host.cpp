// The address and the web folder a host's room link is made of.
#include "relay/online_host.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <array>
#include <system_error>
#include <vector>

namespace zindle::relay {

std::string reachableAddress() {
    ifaddrs* list = nullptr;
    std::string found = "127.0.0.1";
    if (getifaddrs(&list) != 0)
        return found;
    for (const ifaddrs* a = list; a; a = a->ifa_next) {
        if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET || !(a->ifa_flags & IFF_UP) ||
            (a->ifa_flags & IFF_LOOPBACK))
            continue;
        std::array<char, INET_ADDRSTRLEN> text{};
        const auto* in = reinterpret_cast<const sockaddr_in*>(a->ifa_addr);
        if (inet_ntop(AF_INET, &in->sin_addr, text.data(), text.size())) {
            found = text.data();
            break;
        }
    }
    freeifaddrs(list);
    return found;
}

std::optional<std::filesystem::path> findWebBuild(const std::filesystem::path& executable) {
    const std::filesystem::path folder = executable.parent_path();
    for (const auto& candidate : {folder / "web", folder / ".." / "web",
                                  folder / ".." / "share" / "zindle-vs-pellorin" / "web"}) {
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate / "index.html", error))
            return std::filesystem::weakly_canonical(candidate, error);
    }
    return std::nullopt;
}

} // namespace zindle::relay
