// Who may read /metrics and /healthz: address blocks of either family, lists with a bad entry,
// requests that came through a proxy, and the metrics text a scraper reads.
#include "relay/operator_access.h"
#include "relay/relay_metrics.h"

#include <gtest/gtest.h>

namespace zindle::relay {
namespace {

TEST(OperatorAccessTest, BlocksOfEitherFamilyAllowOnlyTheirAddresses) {
    const struct {
        std::string_view list, address;
        bool allowed;
    } cases[] = {
        {"127.0.0.0/8,::1", "127.0.0.1", true},
        {"127.0.0.0/8,::1", "127.200.1.9", true},
        {"127.0.0.0/8,::1", "::1", true},
        {"127.0.0.0/8,::1", "::ffff:127.0.0.1", true}, // IPv4 written as IPv6
        {"127.0.0.0/8,::1", "128.0.0.1", false},
        {"127.0.0.0/8,::1", "::2", false},
        {"10.1.0.0/16", "10.1.255.3", true},
        {"10.1.0.0/16", "10.2.0.1", false},
        {"10.1.2.3/31", "10.1.2.2", true}, // a prefix that does not end on a byte
        {"10.1.2.3/31", "10.1.2.4", false},
        {"0.0.0.0/0", "203.0.113.9", true},
        {"0.0.0.0/0", "2001:db8::1", false}, // a block of one family says nothing of the other
        {"fd00::/8, 192.0.2.7", "fd12::5", true},
        {"fd00::/8, 192.0.2.7", "192.0.2.7", true},
        {"", "127.0.0.1", false},
        {"127.0.0.1", "not an address", false},
        {"127.0.0.1", "", false},
    };
    for (const auto& c : cases) {
        std::string problem;
        const auto access = OperatorAccess::parse(c.list, problem);
        ASSERT_TRUE(access) << c.list << ": " << problem;
        EXPECT_EQ(access->allows(c.address), c.allowed) << c.list << " / " << c.address;
    }
}

TEST(OperatorAccessTest, ListsWithABadEntryAreRefusedNamingIt) {
    for (std::string_view list : {"127.0.0.1,localhost", "10.0.0.0/33", "::/129", "10.0.0.0/",
                                  "10.0.0.0/-1", "10.0.0.0/8x", "1.2.3.4,,", "1.2.3.4/08/1"}) {
        std::string problem;
        EXPECT_FALSE(OperatorAccess::parse(list, problem)) << list;
        EXPECT_NE(problem.find("not an address"), std::string::npos) << list;
    }
}

TEST(OperatorAccessTest, AnswersOnlyGetFromAllowedClientsEvenThroughAProxy) {
    const OperatorAccess access = OperatorAccess::loopbackOnly();
    const auto metrics = [] { return std::string("zindle_relay_rooms 0\n"); };
    const struct {
        std::string_view method, peer;
        std::optional<std::string_view> forwarded;
        OperatorEndpoint endpoint;
        bool healthy;
        int status;
    } cases[] = {
        {"GET", "127.0.0.1", std::nullopt, OperatorEndpoint::Metrics, true, 200},
        {"GET", "127.0.0.1", std::nullopt, OperatorEndpoint::Health, true, 200},
        {"GET", "127.0.0.1", std::nullopt, OperatorEndpoint::Health, false, 503},
        {"HEAD", "127.0.0.1", std::nullopt, OperatorEndpoint::Health, true, 405},
        {"POST", "127.0.0.1", std::nullopt, OperatorEndpoint::Metrics, true, 405},
        {"GET", "192.0.2.1", std::nullopt, OperatorEndpoint::Metrics, true, 403},
        // Not even the method is told to a stranger.
        {"POST", "192.0.2.1", std::nullopt, OperatorEndpoint::Health, true, 403},
        // Through a proxy on loopback: the client the proxy names decides.
        {"GET", "127.0.0.1", "198.51.100.4", OperatorEndpoint::Metrics, true, 403},
        {"GET", "127.0.0.1", "198.51.100.4, 127.0.0.1", OperatorEndpoint::Metrics, true, 200},
        {"GET", "127.0.0.1", "127.0.0.1, 198.51.100.4", OperatorEndpoint::Metrics, true, 403},
        {"GET", "127.0.0.1", "garbage", OperatorEndpoint::Health, true, 403},
        {"GET", "192.0.2.1", "127.0.0.1", OperatorEndpoint::Metrics, true, 403},
    };
    for (const auto& c : cases) {
        const OperatorAnswer answer = answerOperatorRequest({c.method, c.peer, c.forwarded},
                                                            c.endpoint, access, c.healthy, metrics);
        EXPECT_EQ(answer.status, c.status)
            << c.method << " from " << c.peer << " for " << c.forwarded.value_or("-");
        if (answer.status == 200 && c.endpoint == OperatorEndpoint::Metrics) {
            EXPECT_EQ(answer.body, metrics());
        }
    }
    EXPECT_EQ(operatorEndpointFor("/metrics?x=1"), OperatorEndpoint::Metrics);
    EXPECT_EQ(operatorEndpointFor("/healthz"), OperatorEndpoint::Health);
    EXPECT_EQ(operatorEndpointFor("/metrics/"), std::nullopt);
    EXPECT_EQ(operatorEndpointFor("/%6detrics"), std::nullopt);
}

TEST(RelayMetricsTest, EveryFamilyIsTypedAndEveryRefusalReasonPresent) {
    RelayCounters counters;
    counters.messagesIn = 7;
    counters.refuse(refusalFor(ErrorCode::RoomFull));
    const std::string text = prometheusText(counters, {2, 3, 4, 5});
    for (std::string_view line :
         {"# TYPE zindle_relay_rooms gauge\nzindle_relay_rooms 2\n",
          "zindle_relay_queued_bytes 5\n", "# TYPE zindle_relay_messages_received_total counter\n",
          "zindle_relay_messages_received_total 7\n",
          "zindle_relay_refusals_total{reason=\"room_full\"} 1\n",
          "zindle_relay_refusals_total{reason=\"operator_forbidden\"} 0\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
}

} // namespace
} // namespace zindle::relay
