#include "netcode/peer_message.h"

#include <gtest/gtest.h>

namespace zindle::net {
namespace {

InputsMessage sampleInputs() {
    InputsMessage m;
    m.ack = 17;
    m.firstTick = 300000;
    m.present = 300001;
    m.seats = {1, 3};
    m.ticks.resize(3);
    m.ticks[0][1] = {SeatInput::kLeft, -kStickSteps, 0};
    m.ticks[2][3] = {SeatInput::kStart, 12, SeatInput::kToggleComputer};
    return m;
}

TEST(PeerMessageTest, EveryKindSurvivesTheRoundTrip) {
    const PeerMessage messages[] = {
        sampleInputs(),
        PingMessage{0xFFFFFFFFu, true, kMaxPingHeldUs},
        PingMessage{7, false, 0},
        ChecksumMessage{kMaxTick, 0x0123456789ABCDEFull},
        StateMessage{42, {1, 2, 3, 0, 255}},
        StateMessage{0, {}},
        InputsMessage{5, 0, 9, {}, {}}, // an acknowledgement from a peer without seats
    };
    for (const PeerMessage& m : messages) {
        std::string error;
        const auto back = decodePeerMessage(encodePeerMessage(m), error);
        ASSERT_TRUE(back) << error;
        EXPECT_EQ(*back, m);
    }
}

std::vector<std::uint8_t> withByte(std::vector<std::uint8_t> bytes, std::size_t at,
                                   std::uint8_t value) {
    bytes.at(at) = value;
    return bytes;
}

TEST(PeerMessageTest, MalformedBytesAreRefusedWithAReason) {
    const auto inputs = encodePeerMessage(sampleInputs());
    // Layout: magic, version, kind, ack(1), first(3), present(3), seat count, seats..., ticks.
    const std::size_t seatCountAt = 3 + 1 + 3 + 3;
    const std::vector<std::uint8_t> truncated(inputs.begin(), inputs.end() - 1);
    auto trailing = inputs;
    trailing.push_back(0);
    auto unknownBits = inputs;
    unknownBits[seatCountAt + 4] = 0x80; // first input's held byte
    std::vector<std::uint8_t> hugeState{0x5A, 2, 4, 0, 0xFF, 0xFF, 0xFF, 0x7F};
    std::vector<std::uint8_t> longVarint{0x5A, 2, 3};
    longVarint.insert(longVarint.end(), 11, 0x80);
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        const char* reason;
    };
    const Case cases[] = {
        {"empty", {}, "ends early"},
        {"wrong magic", withByte(inputs, 0, 0x00), "not a peer message"},
        {"newer version", withByte(inputs, 1, 9), "version 9"},
        {"unknown kind", withByte(inputs, 2, 77), "unknown"},
        {"ticks without seats", {0x5A, 2, 1, 0, 0, 0, 0, 1}, "without seats"},
        {"five seats", withByte(inputs, seatCountAt, 5), "seat count"},
        {"seat out of range", withByte(inputs, seatCountAt + 1, 4), "seat number"},
        {"seats not ascending", withByte(inputs, seatCountAt + 2, 1), "seat number"},
        {"too many ticks", withByte(inputs, seatCountAt + 3, kMaxInputTicks + 1), "tick count"},
        {"truncated", truncated, "ends early"},
        {"trailing byte", trailing, "after the end"},
        {"unknown input bits", unknownBits, "unknown bits"},
        {"state over the cap", hugeState, "out of range"},
        {"endless varint", longVarint, "64 bits"},
        {"padded varint", {0x5A, 2, 3, 0x80, 0x00, 0, 0, 0, 0, 0, 0, 0, 0}, "padded"},
        {"ping flag", {0x5A, 2, 2, 2, 0, 0}, "reply flag"},
        {"ping without its wait", {0x5A, 2, 2, 1, 5}, "ends early"},
        {"ping that waited too long", {0x5A, 2, 2, 1, 5, 0x81, 0xAD, 0xE2, 0x04}, "waiting time"},
        {"the layout before waits", withByte(encodePeerMessage(PingMessage{}), 1, 1), "version 1"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(decodePeerMessage(c.bytes, error)) << c.what;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.what << ": " << error;
    }
}

// The fuzzer's seeds are hand-written bytes: each must still be a message of this layout.
TEST(PeerMessageTest, CommittedSeedsDecode) {
    const std::vector<std::uint8_t> ping{0x5A, 2, 2, 1, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F, 0xC4, 0x13};
    std::string error;
    const auto decoded = decodePeerMessage(ping, error);
    ASSERT_TRUE(decoded) << error;
    EXPECT_EQ(std::get<PingMessage>(*decoded), (PingMessage{0xFFFFFFFFu, true, 2500}));
    EXPECT_EQ(encodePeerMessage(sampleInputs()).size(), 3u + 1 + 3 + 3 + 1 + 2 + 1 + 3 * 2 * 3);
}

} // namespace
} // namespace zindle::net
