#pragma once
// Who may read a relay's /metrics and /healthz, and what they are answered. The figures say how
// busy a relay is and the health check steers a load balancer, so by default only the machine
// itself may ask; an operator widens that with a list of addresses and blocks.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zindle::relay {

// One address ("10.1.2.3", "::1") or block ("10.0.0.0/8", "fd00::/8").
struct AddressBlock {
    std::array<std::uint8_t, 16> bytes{}; // IPv4 in the first four
    bool v6 = false;
    int prefixBits = 0;
};

class OperatorAccess {
public:
    // 127.0.0.0/8 and ::1.
    static OperatorAccess loopbackOnly();
    // A comma-separated list of addresses and blocks; nothing, and a line naming the bad entry in
    // problem, when any entry is not one. An empty list allows nobody.
    static std::optional<OperatorAccess> parse(std::string_view list, std::string& problem);

    // An IPv4 address written as IPv6 (::ffff:a.b.c.d) is judged as the IPv4 one.
    bool allows(std::string_view address) const;

private:
    std::vector<AddressBlock> blocks_;
};

enum class OperatorEndpoint { Metrics, Health };

// Which endpoint a request target names (a query string is ignored), if any.
std::optional<OperatorEndpoint> operatorEndpointFor(std::string_view target);

struct OperatorRequest {
    std::string_view method;
    std::string_view peerAddress;
    // The X-Forwarded-For header, when the request came through a proxy.
    std::optional<std::string_view> forwardedFor;
};

struct OperatorAnswer {
    int status = 200;
    std::string body;
    std::string_view contentType = "text/plain; charset=utf-8";
};

// Only GET, and only from allowed addresses. A proxy on an allowed address passes on what others
// send it, so a request it forwarded is judged by the client it names too (the last entry, the
// one the nearest proxy added).
OperatorAnswer answerOperatorRequest(const OperatorRequest& request, OperatorEndpoint endpoint,
                                     const OperatorAccess& access, bool healthy,
                                     const std::function<std::string()>& metricsText);

} // namespace zindle::relay
