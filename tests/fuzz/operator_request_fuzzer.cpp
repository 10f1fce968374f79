// libFuzzer target for what decides a /metrics or /healthz request: the operator's address list,
// the request's target, method, peer and forwarded-for header, all untrusted. Fields are split at
// NUL bytes. Whatever they hold, the answer is one of the statuses the relay means to give, and
// nothing is answered 200 to a peer or forwarded client the list does not allow.
#include "relay/operator_access.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zindle::relay;
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> fields;
    while (fields.size() < 4) {
        const std::size_t end = rest.find('\0');
        fields.push_back(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    std::string problem;
    const auto access = OperatorAccess::parse(fields[0], problem);
    if (!access && problem.empty())
        __builtin_trap();
    const OperatorAccess judge = access ? *access : OperatorAccess::loopbackOnly();
    const auto endpoint = operatorEndpointFor(fields[1]);
    const std::optional<std::string_view> forwarded =
        rest.empty() ? std::nullopt : std::optional<std::string_view>(rest);
    const OperatorAnswer answer = answerOperatorRequest(
        {fields[2], fields[3], forwarded}, endpoint.value_or(OperatorEndpoint::Metrics), judge,
        true, [] { return std::string("m\n"); });
    if (answer.status != 200 && answer.status != 403 && answer.status != 405)
        __builtin_trap();
    if (answer.status == 200 && !judge.allows(fields[3]))
        __builtin_trap();
    return 0;
}
