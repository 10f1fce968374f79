// Address blocks compared bit by bit on the address bytes: no name lookups, nothing that could
// take a request's time, and the same answer for every spelling of an address.
#include "relay/operator_access.h"

#include <boost/asio/ip/address.hpp>

#include <charconv>

namespace zindle::relay {
namespace {

constexpr std::size_t kMaxEntryChars = 64;
constexpr std::string_view kPrometheusType = "text/plain; version=0.0.4; charset=utf-8";

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// The address as bytes; a v4-mapped IPv6 address as its IPv4 self.
std::optional<AddressBlock> addressBytes(std::string_view text) {
    if (text.empty() || text.size() > kMaxEntryChars)
        return std::nullopt;
    boost::system::error_code error;
    const auto address = boost::asio::ip::make_address(std::string(text), error);
    if (error)
        return std::nullopt;
    AddressBlock block;
    if (address.is_v6() && !address.to_v6().is_v4_mapped()) {
        const auto bytes = address.to_v6().to_bytes();
        std::copy(bytes.begin(), bytes.end(), block.bytes.begin());
        block.v6 = true;
        block.prefixBits = 128;
        return block;
    }
    const auto v4 = address.is_v4() ? address.to_v4()
                                    : boost::asio::ip::make_address_v4(boost::asio::ip::v4_mapped,
                                                                       address.to_v6());
    const auto bytes = v4.to_bytes();
    std::copy(bytes.begin(), bytes.end(), block.bytes.begin());
    block.prefixBits = 32;
    return block;
}

std::optional<AddressBlock> parseBlock(std::string_view entry) {
    const std::size_t slash = entry.find('/');
    std::optional<AddressBlock> block = addressBytes(entry.substr(0, slash));
    if (!block || slash == std::string_view::npos)
        return block;
    const std::string_view bits = entry.substr(slash + 1);
    int prefix = -1;
    const auto [end, failed] = std::from_chars(bits.data(), bits.data() + bits.size(), prefix);
    if (failed != std::errc() || end != bits.data() + bits.size() || bits.empty() || prefix < 0 ||
        prefix > block->prefixBits)
        return std::nullopt;
    block->prefixBits = prefix;
    return block;
}

bool inside(const AddressBlock& address, const AddressBlock& block) {
    if (address.v6 != block.v6)
        return false;
    for (int bit = 0; bit < block.prefixBits; ++bit) {
        const int byte = bit / 8;
        const auto mask = static_cast<std::uint8_t>(0x80u >> (bit % 8));
        if ((address.bytes[byte] & mask) != (block.bytes[byte] & mask))
            return false;
    }
    return true;
}

} // namespace

OperatorAccess OperatorAccess::loopbackOnly() {
    std::string ignored;
    return *parse("127.0.0.0/8,::1", ignored);
}

std::optional<OperatorAccess> OperatorAccess::parse(std::string_view list, std::string& problem) {
    OperatorAccess access;
    while (!list.empty()) {
        const std::size_t comma = list.find(',');
        const std::string_view entry = trimmed(list.substr(0, comma));
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
        const std::optional<AddressBlock> block = parseBlock(entry);
        if (!block) {
            problem = "not an address or address/bits: \"" +
                      std::string(entry.substr(0, kMaxEntryChars)) + "\"";
            return std::nullopt;
        }
        access.blocks_.push_back(*block);
    }
    return access;
}

bool OperatorAccess::allows(std::string_view address) const {
    const std::optional<AddressBlock> bytes = addressBytes(trimmed(address));
    if (!bytes)
        return false;
    for (const AddressBlock& block : blocks_)
        if (inside(*bytes, block))
            return true;
    return false;
}

std::optional<OperatorEndpoint> operatorEndpointFor(std::string_view target) {
    const std::string_view path = target.substr(0, target.find('?'));
    if (path == "/metrics")
        return OperatorEndpoint::Metrics;
    if (path == "/healthz")
        return OperatorEndpoint::Health;
    return std::nullopt;
}

OperatorAnswer answerOperatorRequest(const OperatorRequest& request, OperatorEndpoint endpoint,
                                     const OperatorAccess& access, bool healthy,
                                     const std::function<std::string()>& metricsText) {
    bool allowed = access.allows(request.peerAddress);
    if (allowed && request.forwardedFor) {
        const std::string_view header = *request.forwardedFor;
        const std::size_t comma = header.rfind(',');
        allowed =
            access.allows(comma == std::string_view::npos ? header : header.substr(comma + 1));
    }
    if (!allowed)
        return {403, "Forbidden\n"};
    if (request.method != "GET")
        return {405, "Method Not Allowed\n"};
    if (endpoint == OperatorEndpoint::Health)
        return healthy ? OperatorAnswer{200, "ok\n"} : OperatorAnswer{503, "stopping\n"};
    return {200, metricsText(), kPrometheusType};
}

} // namespace zindle::relay
