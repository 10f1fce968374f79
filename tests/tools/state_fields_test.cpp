// A field added to a state record's list reaches every walk over the state: the snapshot's copy,
// the bytes, the checksum and the trace, each as the field's description says.
#include "match/state_bytes.h"
#include "match/state_fields.h"
#include "match/state_hasher.h"
#include "trace_fields.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zindle {

// The cloud's record with one field more, described by the test at hand.
struct ProbeState : CloudState {
    double gust = 0;
};

Field probeField{.name = "gust"};

template <> struct StateFields<ProbeState> {
    template <class V, class... S> static void visit(V&& v, S&... s) {
        StateFields<CloudState>::visit(v, s...);
        v(probeField, s.gust...);
    }
};

namespace test {
namespace {

// The game's side: an object of another type with the same members.
struct ProbeObject {
    double x = 1, y = 2;
    int x0 = 3, y0 = 4, x1 = 5, y1 = 6;
    double hitCooldown = 7;
    int size = 8;
    double gust = 2.5;
};

std::uint64_t checksumOf(const ProbeState& record) {
    const MatchState empty;
    StateHasher h(empty);
    StateFields<ProbeState>::visit(h, record);
    return h.result();
}

TEST(StateFieldsTest, AFieldAddedToAListReachesSnapshotBytesChecksumAndTrace) {
    const struct {
        bool checked;
        bool traced;
    } cases[] = {{true, true}, {false, true}, {true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.checked) + std::to_string(c.traced));
        probeField.checked = c.checked;
        probeField.traced = c.traced;

        // The snapshot copies it both ways.
        const ProbeObject object;
        ProbeState record;
        copyFields<ProbeState>(record, object);
        EXPECT_EQ(record.gust, 2.5);
        EXPECT_EQ(record.size, 8);
        ProbeObject back{};
        back.gust = 0;
        copyFields<ProbeState>(back, record);
        EXPECT_EQ(back.gust, 2.5);

        // The bytes carry it, whatever else it is for, and count it in a record's least size.
        std::vector<std::uint8_t> bytes;
        StateWriter writer(bytes);
        StateFields<ProbeState>::visit(writer, record);
        EXPECT_EQ(bytes.size(), leastBytes<CloudState>() + 8);
        EXPECT_EQ(leastBytes<ProbeState>(), bytes.size());
        StateReader reader(bytes);
        const MatchState readSoFar;
        FieldReader fields(reader, readSoFar);
        ProbeState read;
        StateFields<ProbeState>::visit(fields, read);
        EXPECT_EQ(read.gust, 2.5);
        EXPECT_TRUE(reader.atEnd());

        // The checksum sees it when it decides play.
        ProbeState calmer = record;
        calmer.gust = 1;
        EXPECT_EQ(checksumOf(calmer) != checksumOf(record), c.checked);

        // The trace shows it when traced, after the fields before it in the list.
        const std::string line = sim::traceJson<ProbeState>(object);
        EXPECT_EQ(line.ends_with(",\"gust\":2.5}"), c.traced) << line;
        EXPECT_NE(line.find("\"size\":8"), std::string::npos) << line;
    }
    probeField = Field{.name = "gust"};
}

TEST(StateFieldsTest, TheTracePlacesAFieldAfterTheOneItNames) {
    probeField = Field{.name = "gust", .tracedAfter = "y"};
    EXPECT_EQ(sim::traceJson<ProbeState>(ProbeObject{}),
              "{\"x\":1,\"y\":2,\"gust\":2.5,\"x0\":3,\"y0\":4,\"x1\":5,\"y1\":6,"
              "\"hitCooldown\":7,\"size\":8}");
    probeField = Field{.name = "gust"};
}

TEST(StateFieldsTest, TheReaderRefusesWhatAFieldDoesNotAllow) {
    // A hero whose player is past the last seat; a paddle with more keys than it may hold.
    HeroState hero;
    hero.player = rules::kPlayers;
    PaddleState paddle;
    paddle.leftKeys.assign(StateFields<PaddleState>::kMostKeys + 1, 37);
    const auto refusal = [](const auto& record) -> std::string {
        std::vector<std::uint8_t> bytes;
        StateWriter writer(bytes);
        FieldsOf<std::remove_cvref_t<decltype(record)>>::visit(writer, record);
        StateReader reader(bytes);
        const MatchState readSoFar;
        FieldReader fields(reader, readSoFar);
        std::remove_cvref_t<decltype(record)> read;
        try {
            FieldsOf<std::remove_cvref_t<decltype(record)>>::visit(fields, read);
        } catch (const MatchStateError& e) {
            return e.what();
        }
        return "";
    };
    EXPECT_NE(refusal(hero).find("a hero's player out of range (4)"), std::string::npos);
    EXPECT_NE(refusal(paddle).find("too many paddle keys (17)"), std::string::npos);
}

// How many members an aggregate has, its bases counting one each: the most initialisers it
// takes.
struct AnyMember {
    template <class T> operator T() const;
};
template <class T, class... Given> constexpr std::size_t memberCount() {
    if constexpr (requires { T{Given{}..., AnyMember{}}; })
        return memberCount<T, Given..., AnyMember>();
    else
        return sizeof...(Given);
}

// How many entries (fields, links and bases) a record's list has.
template <class S> std::size_t listedCount() {
    std::size_t n = 0;
    const S record{};
    StateFields<S>::visit([&n](const auto&, const auto&) { ++n; }, record);
    return n;
}

TEST(StateFieldsTest, EveryFieldARecordDeclaresIsInItsList) {
    // A field declared in a record and left out of its list would be copied, sent, checked and
    // traced by nothing. The MacGuffin's flares are a list of records of their own.
    EXPECT_EQ(listedCount<HeroState>(), memberCount<HeroState>());
    EXPECT_EQ(listedCount<CloudState>(), memberCount<CloudState>());
    EXPECT_EQ(listedCount<MacGuffinState>() + 1, memberCount<MacGuffinState>());
    EXPECT_EQ(listedCount<FlareState>(), memberCount<FlareState>());
    EXPECT_EQ(listedCount<ParticleState>(), memberCount<ParticleState>());
    EXPECT_EQ(listedCount<MovingParticleState>(), memberCount<MovingParticleState>());
    EXPECT_EQ(listedCount<PictureParticleState>(), memberCount<PictureParticleState>());
    EXPECT_EQ(listedCount<WinParticleState>(), memberCount<WinParticleState>());
    EXPECT_EQ(listedCount<HeroSparkleState>(), memberCount<HeroSparkleState>());
    EXPECT_EQ(listedCount<SparkleOwner>(), memberCount<SparkleOwner>());
    EXPECT_EQ(listedCount<PaddleState>(), memberCount<PaddleState>());
}

} // namespace
} // namespace test
} // namespace zindle
