// A round's start survives being cut into relay-sized pieces, and pieces or envelopes that do
// not add up are refused with a reason rather than grown into.
#include "netcode/online_envelope.h"

#include <gtest/gtest.h>

namespace zindle::net {
namespace {

TEST(OnlineEnvelopeTest, RoundStartComesBackWholeAtEverySize) {
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{60 * 1024},
                             std::size_t{60 * 1024 + 1}, std::size_t{300 * 1000}}) {
        RoundStart start;
        start.holders = {0, relay::kNoPeer, 2, 0};
        start.peers = {0, 2, 5};
        for (std::size_t i = 0; i < size; ++i)
            start.state.push_back(static_cast<std::uint8_t>(i * 7));
        RoundStartAssembler assembler;
        std::optional<std::vector<std::uint8_t>> whole;
        for (const Envelope& piece : splitRoundStart(9, encodeRoundStart(start))) {
            const auto bytes = encodeEnvelope(piece);
            EXPECT_LE(bytes.size(), relay::kMaxPayloadBytes);
            std::string error;
            const auto decoded = decodeEnvelope(bytes, error);
            ASSERT_TRUE(decoded) << error;
            EXPECT_FALSE(whole) << "done before the last piece, size " << size;
            whole = assembler.add(*decoded, error);
        }
        ASSERT_TRUE(whole) << size;
        std::string error;
        EXPECT_EQ(decodeRoundStart(*whole, error), start) << size;
    }
}

// A match state the session sends one peer travels in pieces addressed to that peer alone.
TEST(OnlineEnvelopeTest, LargeSessionMessageTravelsInPiecesToItsPeer) {
    const std::vector<std::uint8_t> state(200 * 1000, 0x5A);
    RoundStartAssembler assembler;
    std::optional<std::vector<std::uint8_t>> whole;
    for (const Envelope& piece : splitIntoPieces(Envelope::Kind::SessionPiece, 4, 2, state)) {
        std::string error;
        const auto decoded = decodeEnvelope(encodeEnvelope(piece), error);
        ASSERT_TRUE(decoded) << error;
        EXPECT_EQ(decoded->kind, Envelope::Kind::SessionPiece);
        EXPECT_EQ(decoded->to, 2);
        whole = assembler.add(*decoded, error);
    }
    EXPECT_EQ(whole, state);
}

TEST(OnlineEnvelopeTest, BadBytesAreRefusedWithAReason) {
    const std::vector<std::vector<std::uint8_t>> bad{
        {},                                                        // empty
        {1, 0xFF, 0, 0, 0},                                        // short header
        {7, 0xFF, 0, 0, 0, 0},                                     // unknown kind
        {2, 0xFF, 1, 0, 0, 0, 0, 0},                               // piece without its lengths
        {2, 0xFF, 1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}, // a 4 GB start
        {2, 0xFF, 1, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3},    // more than its total
        {2, 0xFF, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0},             // offset past its total
    };
    for (const auto& bytes : bad) {
        std::string error;
        EXPECT_FALSE(decodeEnvelope(bytes, error)) << bytes.size();
        EXPECT_FALSE(error.empty());
    }
    std::string error;
    EXPECT_FALSE(decodeRoundStart(std::vector<std::uint8_t>{0, 0, 0, 0, 3, 1}, error));
}

TEST(OnlineEnvelopeTest, PieceOutOfPlaceStartsNothing) {
    RoundStart start;
    start.peers = {0};
    start.state.assign(150 * 1000, 1);
    auto pieces = splitRoundStart(3, encodeRoundStart(start));
    ASSERT_GE(pieces.size(), 3u);
    RoundStartAssembler assembler;
    std::string error;
    EXPECT_FALSE(assembler.add(pieces[0], error));
    EXPECT_FALSE(assembler.add(pieces[2], error)); // the middle one was lost
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_FALSE(assembler.add(pieces[1], error)); // too late: the start must begin again
    EXPECT_FALSE(error.empty());
}

} // namespace
} // namespace zindle::net
