// Match states as bytes: a round trip changes nothing, and bytes that no game could have written
// are refused with one clear error, never taken in.
#include "support/game_fixture.h"

#include "match/match_snapshot.h"
#include "match/match_state_codec.h"
#include "match/state_checksum.h"

#include <cmath>
#include <limits>

namespace zindle::test {
namespace {

using MatchStateCodecTest = GameFixture;

std::vector<std::uint8_t> bytesOf(const MatchState& state) {
    std::vector<std::uint8_t> bytes;
    writeMatchState(state, bytes);
    return bytes;
}

// The error's text when bytes are refused, "" when they are read.
std::string refusal(const std::vector<std::uint8_t>& bytes) {
    try {
        readMatchState(bytes);
    } catch (const MatchStateError& e) {
        return e.what();
    }
    return "";
}

TEST_F(MatchStateCodecTest, BytesComeBackIdenticalAndRestoreTheSameMatch) {
    for (int player = 0; player < 4; ++player)
        game->toggleComputerPlayer(player);
    // The title, the match, then a winning catch's fountain with sparkles of a departed hero.
    for (const int steps : {10, 3000, 1}) {
        if (steps == 1) {
            Hero& hero = *game->heroes.front();
            hero.score = 5;
            hero.invulnerable = false;
            game->macGuffin->state = MacGuffin::STATE_IDLE;
            game->macGuffin->x = hero.x;
            game->macGuffin->y = hero.y;
        }
        step(steps);
        SCOPED_TRACE(steps);
        MatchSnapshot snapshot;
        snapshot.capture(*game);
        const std::uint64_t atCapture = stateChecksum(*game);
        const std::vector<std::uint8_t> bytes = bytesOf(snapshot.state());

        const MatchSnapshot read(readMatchState(bytes));
        EXPECT_EQ(bytesOf(read.state()), bytes);
        Game other;
        read.restore(other);
        EXPECT_EQ(stateChecksum(other), atCapture);
    }
    EXPECT_EQ(game->tally.wins, 1);
}

// Peers compare these checksums and replays store them; peers exchange these bytes. Neither may
// change with the code that produces them: a seeded match of four computer players, its state's
// bytes (by their FNV-1a digest) and checksum on the title, in play, at a forced winning catch
// and amid the fountain with the winner's sparkles.
TEST_F(MatchStateCodecTest, BytesAndChecksumsOfASeededMatchStayTheSame) {
    for (int player = 0; player < 4; ++player)
        game->toggleComputerPlayer(player);
    const struct {
        int steps;
        std::uint64_t bytesDigest;
        std::uint64_t checksum;
    } moments[] = {
        {10, 0x44339B523F031D29ull, 0x171A873937FBB63Aull},
        {3000, 0x6DA470E7D8C719E3ull, 0xB1A2FCF895EC5F91ull},
        {1, 0xA1B7CCADFD82412Aull, 0xFD8BDE8BEA515936ull},
        {600, 0x28C2A807E318EAFCull, 0x3D4FFCC2361D3CC8ull},
    };
    for (const auto& m : moments) {
        if (&m == &moments[2]) {
            Hero& hero = *game->heroes.front();
            hero.score = 5;
            hero.invulnerable = false;
            game->macGuffin->state = MacGuffin::STATE_IDLE;
            game->macGuffin->x = hero.x;
            game->macGuffin->y = hero.y;
        }
        step(m.steps);
        MatchSnapshot snapshot;
        snapshot.capture(*game);
        std::uint64_t digest = 0xCBF29CE484222325ull;
        for (const std::uint8_t b : bytesOf(snapshot.state()))
            digest = (digest ^ b) * 0x100000001B3ull;
        EXPECT_EQ(digest, m.bytesDigest) << m.steps;
        EXPECT_EQ(stateChecksum(*game), m.checksum) << m.steps;
    }
}

TEST_F(MatchStateCodecTest, EveryCutShortCopyIsRefused) {
    MatchSnapshot snapshot;
    snapshot.capture(*game);
    const std::vector<std::uint8_t> bytes = bytesOf(snapshot.state());
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        const std::string error =
            refusal(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + n));
        // Cut inside a field, or after a count that the rest can no longer back.
        ASSERT_TRUE(error.find("end too early") != std::string::npos ||
                    error.find("than the bytes hold") != std::string::npos)
            << n << ": " << error;
    }
}

TEST_F(MatchStateCodecTest, HostileContentsAreRefusedWithTheirProblem) {
    MatchSnapshot snapshot;
    step();
    addHero(0);
    step(600);
    snapshot.capture(*game);
    const MatchState good = snapshot.state();
    ASSERT_EQ(refusal(bytesOf(good)), "");

    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char* problem;
        void (*spoil)(MatchState&);
    } cases[] = {
        {"not finite", [](MatchState& s) { s.boardTime = nan; }},
        {"not finite",
         [](MatchState& s) { s.clouds[3].hitCooldown = std::numeric_limits<double>::infinity(); }},
        {"a hero's player out of range", [](MatchState& s) { s.heroes[0].player = 4; }},
        {"the last winner out of range", [](MatchState& s) { s.lastWinner = -2; }},
        {"the MacGuffin's state out of range", [](MatchState& s) { s.macGuffin.state = 3; }},
        {"a flare's frame out of range", [](MatchState& s) { s.macGuffin.flares[0].frame = 7; }},
        {"too many heroes", [](MatchState& s) { s.heroes.resize(17, s.heroes[0]); }},
        {"unknown particle kind",
         [](MatchState& s) { s.particles.trailKinds.push_back(static_cast<ParticleKind>(8)); }},
        {"a sparkle's owner out of range",
         [](MatchState& s) {
             s.particles.sparkleKinds.push_back(ParticleKind::HeroSparkle);
             s.particles.heroSparkle.push_back({{}, 0}); // no owners at all
         }},
        {"a listed owner out of range",
         [](MatchState& s) {
             s.particles.owners.push_back({5, -1, 0, 0});
         }},
        {"both listed and departed",
         [](MatchState& s) {
             s.departed.push_back(s.heroes[0]);
             s.particles.owners.push_back({0, 0, 0, 0});
         }},
        {"not printable",
         [](MatchState& s) {
             s.particles.sparkleKinds.push_back(ParticleKind::Ascend);
             s.particles.ascend.push_back({{}, "PLAYER\n"});
         }},
        {"too many a particle's picture",
         [](MatchState& s) {
             s.particles.sparkleKinds.push_back(ParticleKind::Ascend);
             s.particles.ascend.push_back({{}, std::string(65, 'A')});
         }},
        {"key states out of order",
         [](MatchState& s) {
             s.keyStates = {{5, true}, {5, false}};
         }},
        {"random generator position", [](MatchState& s) { s.random.generator.next = 313; }},
        {"unknown music", [](MatchState& s) { s.music = static_cast<MusicChoice>(4); }},
    };
    for (const auto& c : cases) {
        MatchState bad = good;
        c.spoil(bad);
        const std::string error = refusal(bytesOf(bad));
        EXPECT_NE(error.find(c.problem), std::string::npos) << c.problem << " / " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }

    // Bytes the writer cannot make at all.
    const std::vector<std::uint8_t> bytes = bytesOf(good);
    const struct {
        const char* problem;
        std::size_t at;
        std::vector<std::uint8_t> put; // written over the bytes from at
    } patches[] = {
        {"no magic", 0, {'Z', 'S', 'N', 'Q'}},
        {"version 2 where 1", 4, {2, 0, 0, 0}},
        {"neither 0 nor 1", 8, {2}},
        // The computer flags' count follows the board's numbers.
        {"too many computer flags", 8 + 1 + 5 * 8 + 4 + 3 * 8, {0xFF, 0xFF, 0xFF, 0xFF}},
    };
    for (const auto& p : patches) {
        std::vector<std::uint8_t> bad = bytes;
        std::copy(p.put.begin(), p.put.end(), bad.begin() + static_cast<std::ptrdiff_t>(p.at));
        const std::string error = refusal(bad);
        EXPECT_NE(error.find(p.problem), std::string::npos) << p.problem << " / " << error;
    }
    std::vector<std::uint8_t> longer = bytes;
    longer.push_back(0);
    EXPECT_NE(refusal(longer).find("bytes after the end"), std::string::npos);
}

} // namespace
} // namespace zindle::test
