#include "netcode/peer_link_emulator.h"

#include <gtest/gtest.h>

namespace zindle::net {
namespace {

struct Outcome {
    LinkCounters counters;
    std::vector<std::uint8_t> order; // first byte of each message as it arrived
    double latestMs = 0;
};

Outcome sendThousand(LinkConditions link, std::uint64_t seed) {
    PeerLinkEmulator net(link, seed);
    Outcome out;
    for (int i = 0; i < 1000; ++i) {
        net.send(0, 1, {static_cast<std::uint8_t>(i)}, i * 1.0);
        for (const auto& p : net.arrived(i * 1.0)) {
            out.order.push_back(p.bytes[0]);
            EXPECT_EQ(p.to, 1);
        }
    }
    for (const auto& p : net.arrived(1e9)) {
        out.order.push_back(p.bytes[0]);
        out.latestMs = std::max(out.latestMs, p.arrivalMs);
    }
    out.counters = net.counters();
    return out;
}

TEST(PeerLinkEmulatorTest, EachConditionDoesWhatItSays) {
    struct Case {
        const char* what;
        LinkConditions link;
        int lostAtLeast, lostAtMost, twiceAtLeast;
        bool inOrder;
    };
    const Case cases[] = {
        {"perfect", {}, 0, 0, 0, true},
        {"delay alone keeps order", {40, 0, 0, 0, 0}, 0, 0, 0, true},
        {"2 % loss", {10, 0, 0.02, 0, 0}, 8, 35, 0, true},
        {"duplicates arrive side by side", {10, 0, 0, 0.05, 0}, 0, 0, 25, true},
        {"jitter reorders", {10, 8, 0, 0, 0}, 0, 0, 0, false},
        {"held back", {10, 0, 0, 0, 0.05}, 0, 0, 0, false},
    };
    for (const Case& c : cases) {
        const Outcome o = sendThousand(c.link, 1);
        EXPECT_GE(o.counters.lost, c.lostAtLeast) << c.what;
        EXPECT_LE(o.counters.lost, c.lostAtMost) << c.what;
        EXPECT_GE(o.counters.duplicated, c.twiceAtLeast) << c.what;
        EXPECT_EQ(o.counters.delivered, 1000 - o.counters.lost + o.counters.duplicated) << c.what;
        EXPECT_EQ(std::is_sorted(o.order.begin(), o.order.begin() + 200), c.inOrder) << c.what;
    }
}

TEST(PeerLinkEmulatorTest, SameSeedSameNetwork) {
    const LinkConditions link{30, 10, 0.05, 0.05, 0.05};
    EXPECT_EQ(sendThousand(link, 9).order, sendThousand(link, 9).order);
    EXPECT_NE(sendThousand(link, 9).order, sendThousand(link, 10).order);
}

TEST(PeerLinkEmulatorTest, CutPeerLosesEverythingUntilMended) {
    PeerLinkEmulator net({}, 1);
    net.cut(0, true);
    net.send(0, 1, {1}, 0);
    net.send(1, 0, {2}, 0);
    net.cut(0, false);
    net.send(0, 1, {3}, 0);
    const auto arrived = net.arrived(0);
    ASSERT_EQ(arrived.size(), 2u);
    EXPECT_EQ(arrived[0].bytes[0], 2);
    EXPECT_EQ(arrived[1].bytes[0], 3);
    EXPECT_LT(net.nextArrivalMs(), 0);
}

} // namespace
} // namespace zindle::net
