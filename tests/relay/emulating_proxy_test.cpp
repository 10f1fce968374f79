// The emulating proxy between two test peers and a relay on loopback: a session's messages meet
// the emulated network's loss and duplication, while everything a peer never repeats arrives
// whole and in order.
#include "netcode/online_envelope.h"
#include "relay/emulating_proxy.h"
#include "relay/relay_server.h"

#include "test_peer.h"

#include <gtest/gtest.h>

#include <set>

namespace zindle::relay {
namespace {

using testing::TestPeer;

constexpr std::uint8_t kSent = 60;

Bytes envelopeBytes(net::Envelope::Kind kind, std::uint8_t index) {
    net::Envelope envelope;
    envelope.kind = kind;
    envelope.total = 1;
    envelope.body = {index};
    return net::encodeEnvelope(envelope);
}

TEST(EmulatingProxyTest, OnlySessionMessagesMeetLossAndDuplication) {
    RelayOptions relayOptions;
    relayOptions.address = "127.0.0.1";
    relayOptions.port = 0;
    RelayServer relay(relayOptions);
    const unsigned short relayPort = relay.listen();
    relay.runInBackground();

    const struct {
        const char* name;
        net::LinkConditions conditions;
        bool lossy;
    } cases[] = {
        {"a clean network", {2, 0, 0, 0, 0}, false},
        {"a bad network", {2, 1, 0.4, 0.2, 0.1}, true},
    };
    for (const auto& c : cases) {
        EmulatingProxy proxy({relayPort, c.conditions, 5});
        const unsigned short port = proxy.start();
        TestPeer host(port), guest(port);
        ASSERT_TRUE(host.isOpen() && guest.isOpen()) << c.name;
        host.send(OpenRoom{});
        const auto welcome = host.receiveA<Welcome>();
        ASSERT_TRUE(welcome) << c.name;
        guest.send(JoinRoom{welcome->code});
        ASSERT_TRUE(guest.receiveA<Welcome>()) << c.name;
        for (std::uint8_t i = 0; i < kSent; ++i)
            guest.send(Data{0, envelopeBytes(net::Envelope::Kind::Session, i)});
        for (std::uint8_t i = 0; i <= kSent; ++i)
            guest.send(Data{0, envelopeBytes(net::Envelope::Kind::RoundStartPiece, i)});

        std::vector<std::uint8_t> sessions;
        std::vector<std::uint8_t> pieces;
        // Reads until the last piece and, on a clean network, every session message.
        while (pieces.size() <= kSent || (!c.lossy && sessions.size() < kSent)) {
            const auto forward = host.receiveA<Forward>();
            if (!forward)
                break;
            std::string error;
            const auto envelope = net::decodeEnvelope(forward->payload, error);
            ASSERT_TRUE(envelope && envelope->body.size() == 1) << c.name << ": " << error;
            (envelope->kind == net::Envelope::Kind::Session ? sessions : pieces)
                .push_back(envelope->body[0]);
        }
        ASSERT_EQ(pieces.size(), kSent + 1u) << c.name;
        for (std::uint8_t i = 0; i <= kSent; ++i)
            EXPECT_EQ(pieces[i], i) << c.name << ": in the order sent";
        const net::LinkCounters counters = proxy.counters();
        const std::set<std::uint8_t> distinct(sessions.begin(), sessions.end());
        if (c.lossy) {
            EXPECT_LT(distinct.size(), kSent) << c.name;
            EXPECT_GT(distinct.size(), 0u) << c.name;
            EXPECT_GT(counters.lost, 0) << c.name;
            EXPECT_GT(counters.duplicated, 0) << c.name;
        } else {
            EXPECT_EQ(sessions.size(), kSent) << c.name;
            EXPECT_EQ(distinct.size(), kSent) << c.name;
            EXPECT_EQ(counters.lost, 0) << c.name;
        }
        // Every message met the network on its way to the relay, and the pieces on their way
        // from it as well.
        EXPECT_GE(counters.sent, 3 * kSent) << c.name;
    }
}

TEST(EmulatingProxyTest, TellsSessionMessagesFromTheRest) {
    const struct {
        Message message;
        bool session;
    } cases[] = {
        {Data{1, envelopeBytes(net::Envelope::Kind::Session, 3)}, true},
        {Forward{0, 1, envelopeBytes(net::Envelope::Kind::Session, 3)}, true},
        {Data{1, envelopeBytes(net::Envelope::Kind::SessionPiece, 3)}, false},
        {Forward{0, 1, envelopeBytes(net::Envelope::Kind::RoundStartPiece, 3)}, false},
        {Data{1, {}}, false},
        {ClaimSeat{1}, false},
        {Pong{4}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(carriesSessionMessage(c.message), c.session) << c.message.index();
}

} // namespace
} // namespace zindle::relay
