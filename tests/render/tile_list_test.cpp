#include "render/tile_list.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace zindle {
namespace {

using Lines = std::vector<std::string>;

constexpr int kW = 64;
constexpr int kH = 32;

std::vector<std::string> names(const TileList& list) {
    std::vector<std::string> out;
    for (const auto& t : list.tiles)
        out.push_back(t.name);
    return out;
}

TEST(TileListTest, ReadsATileAndUpperCasesItsName) {
    const TileList list = readTileList("crown 1 2 16 8 7 3", kW, kH);
    ASSERT_EQ(list.tiles.size(), 1u);
    const TileListEntry& t = list.tiles[0];
    EXPECT_EQ(t.name, "CROWN");
    EXPECT_EQ(t.rect.x, 1);
    EXPECT_EQ(t.rect.y, 2);
    EXPECT_EQ(t.rect.width, 16);
    EXPECT_EQ(t.rect.height, 8);
    EXPECT_EQ(t.centre.x, 7);
    EXPECT_EQ(t.centre.y, 3);
    EXPECT_TRUE(list.warnings.empty());
}

TEST(TileListTest, RepeatedNamesKeepBothRectangles) {
    const TileList list = readTileList("CROWN 0 0 16 16 8 8\ncrown 16 0 16 16 8 8\n", kW, kH);
    EXPECT_EQ(names(list), (Lines{"CROWN", "CROWN"}));
    EXPECT_EQ(list.tiles[1].rect.x, 16);
}

TEST(TileListTest, CommentsEmptyLinesAndLoneWordsAreSilent) {
    const TileList list = readTileList("# a comment\n\nLONELY\n\r\nA#B 0 0 1 1 0 0", kW, kH);
    EXPECT_EQ(names(list), (Lines{"A#B"}));
    EXPECT_TRUE(list.warnings.empty());
}

TEST(TileListTest, ShortLinesWarnWithTheirFirstField) {
    const TileList list = readTileList(" # indented comment\nCLOUD 1 2 3", kW, kH);
    EXPECT_TRUE(list.tiles.empty());
    EXPECT_EQ(list.warnings, (Lines{"Warning: insufficient parameters specified for tile ",
                                    "Warning: insufficient parameters specified for tile CLOUD"}));
}

TEST(TileListTest, BrokenNumbersWarnPerFieldAndUseNoId) {
    const TileList list = readTileList("BAD 1 2 3 4 5 x\n"
                                       "WORSE 1 2 3 4 5 6 x\n"
                                       "GAP 1 2  3 4 5\n"
                                       "GOOD 1 2 3 4 5 6 7\n",
                                       kW, kH);
    EXPECT_EQ(names(list), (Lines{"GOOD"}));
    EXPECT_EQ(list.warnings, (Lines{"Warning: non-integer paramater specified for tile BAD",
                                    "Warning: skipping tile due to broken parameter(s): BAD",
                                    "Warning: non-integer paramater specified for tile WORSE",
                                    "Warning: skipping tile due to broken parameter(s): WORSE",
                                    "Warning: non-integer paramater specified for tile GAP",
                                    "Warning: skipping tile due to broken parameter(s): GAP"}));
    EXPECT_EQ(list.tiles[0].centre.y, 6); // the eighth field is ignored
}

TEST(TileListTest, WindowsLineEndsReadTheSame) {
    const std::string unix = "A 0 0 8 8 4 4\n# c\nB 8 0 8 8 4 4\n";
    const std::string dos = "A 0 0 8 8 4 4\r\n# c\r\n\r\nB 8 0 8 8 4 4\r\n";
    const TileList a = readTileList(unix, kW, kH);
    const TileList b = readTileList(dos, kW, kH);
    EXPECT_EQ(names(b), (Lines{"A", "B"}));
    EXPECT_TRUE(b.warnings.empty());
    ASSERT_EQ(a.tiles.size(), b.tiles.size());
    EXPECT_EQ(b.tiles[1].centre.y, 4);
}

TEST(TileListTest, OutsideTheAtlasIsReportedAndSkipped) {
    const TileList list = readTileList("NEG 0 0 -1 4 0 0\n"
                                       "LEFT -1 0 4 4 0 0\n"
                                       "WIDE 60 0 5 4 0 0\n"
                                       "TALL 0 30 4 3 0 0\n"
                                       "HUGE 0 0 2147483647 1 0 0\n"
                                       "EDGE 60 28 4 4 0 0\n",
                                       kW, kH);
    EXPECT_EQ(names(list), (Lines{"EDGE"}));
    ASSERT_EQ(list.warnings.size(), 5u);
    EXPECT_EQ(list.warnings[0], "Warning: tile NEG lies outside its atlas (64x32), skipped");
    EXPECT_EQ(list.warnings[4], "Warning: tile HUGE lies outside its atlas (64x32), skipped");
}

TEST(TileListTest, IntegersReadLikeTheFileFormatSays) {
    EXPECT_EQ(parseTileInteger("0x10"), 16);
    EXPECT_EQ(parseTileInteger("0XfF"), 255);
    EXPECT_EQ(parseTileInteger("12px"), 12);
    EXPECT_EQ(parseTileInteger("-7"), -7);
    EXPECT_EQ(parseTileInteger("+7"), 7);
    EXPECT_EQ(parseTileInteger("8\r"), 8);
    EXPECT_EQ(parseTileInteger("0xg"), 0); // "0" read, the rest ignored
    EXPECT_EQ(parseTileInteger("2147483647"), 2147483647);
    EXPECT_EQ(parseTileInteger("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(parseTileInteger("0x7fffffff"), 2147483647);
    for (const char* bad : {"", "x", "-", "+", "\r", " 1", "2147483648", "-2147483649",
                            "0xffffffff", "99999999999999999999999"})
        EXPECT_FALSE(parseTileInteger(bad).has_value()) << '"' << bad << '"';
}

TEST(TileListTest, NumbersTooLargeForAnIntAreBrokenParameters) {
    const TileList list = readTileList("BIG 0 0 4294967300 1 0 0", kW, kH);
    EXPECT_TRUE(list.tiles.empty());
    EXPECT_EQ(list.warnings, (Lines{"Warning: non-integer paramater specified for tile BIG",
                                    "Warning: skipping tile due to broken parameter(s): BIG"}));
}

// Whatever the text, every accepted tile lies inside the atlas, and the n-th accepted tile is
// the n-th rectangle: no id is ever spent on a skipped line.
// A long name with thousands of bad fields once cost gigabytes of warnings. Each warning now
// shows only the start of the name, and a file gives a bounded number, counting the rest; they
// are handed on as they come, and the good tiles around them still load.
TEST(TileListTest, HostileListsGiveBoundedWarningsAsTheyCome) {
    const std::string name(100'000, 'N');
    std::string text = "FIRST 0 0 8 8 4 4\n" + name;
    for (int i = 0; i < 20'000; ++i)
        text += " x";
    text += "\nLAST 8 0 8 8 4 4\n";
    std::vector<std::string> given;
    const TileList list =
        readTileList(text, kW, kH, [&given](const std::string& line) { given.push_back(line); });
    EXPECT_EQ(names(list), (Lines{"FIRST", "LAST"}));
    EXPECT_TRUE(list.warnings.empty()); // handed to the sink instead
    ASSERT_EQ(given.size(), 50u);
    EXPECT_EQ(list.moreWarnings, 20'001u - 50u); // one per bad field, then the skip
    EXPECT_EQ(given[0],
              "Warning: non-integer paramater specified for tile " + name.substr(0, 64) + "...");
    for (const auto& line : given)
        EXPECT_LT(line.size(), 200u);
    // Collected, the same bound holds.
    const TileList collected = readTileList(text, kW, kH);
    EXPECT_EQ(collected.warnings, given);
    EXPECT_EQ(collected.moreWarnings, list.moreWarnings);
}

// A name is shown with what a terminal would act on escaped: an escape sequence, a NUL byte.
TEST(TileListTest, NamesInWarningsAreEscaped) {
    using namespace std::string_literals;
    const struct {
        std::string line;
        std::string warning;
    } cases[] = {
        {"\x1b[2J 1 2\n", "Warning: insufficient parameters specified for tile \\x1b[2J"},
        {"A\0B 1 2\n"s, "Warning: insufficient parameters specified for tile A\\x00B"},
        {"\x1b]0;x\x07 0 0 8 8 4 4 z\n",
         "Warning: non-integer paramater specified for tile \\x1b]0;x\\x07"},
        {"T\t 0 0 999 8 4 4\n", "Warning: tile T\\t lies outside its atlas (64x32), skipped"},
    };
    for (const auto& c : cases) {
        const TileList list = readTileList(c.line, kW, kH);
        ASSERT_FALSE(list.warnings.empty()) << c.warning;
        EXPECT_EQ(list.warnings[0], c.warning);
    }
}

TEST(TileListTest, RandomAndTruncatedInputNeverYieldsABadTile) {
    const std::string good = "CROWN 0 0 16 16 8 8\nCLOUD_TINY 16 0 8 0x8 4 4\n# c\n"
                             "SPARKLE_1 40 8 24 24 -3 30\nX 1 1 1 1 1 1 1\n";
    std::mt19937 rng(1234);
    const std::string alphabet = "0123456789 -+xX#\r\nabcFGH";
    auto check = [](const TileList& list) {
        for (const auto& t : list.tiles) {
            ASSERT_GE(t.rect.width, 0);
            ASSERT_GE(t.rect.height, 0);
            ASSERT_GE(t.rect.x, 0);
            ASSERT_GE(t.rect.y, 0);
            ASSERT_LE(t.rect.x + t.rect.width, kW);
            ASSERT_LE(t.rect.y + t.rect.height, kH);
        }
    };
    for (std::size_t cut = 0; cut <= good.size(); ++cut)
        check(readTileList(std::string_view(good).substr(0, cut), kW, kH));
    for (int round = 0; round < 2000; ++round) {
        std::string text = good;
        const int edits = 1 + static_cast<int>(rng() % 8);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = rng() % (text.size() + 1);
            switch (rng() % 3) {
            case 0:
                text.insert(at, 1, alphabet[rng() % alphabet.size()]);
                break;
            case 1:
                if (at < text.size())
                    text.erase(at, 1);
                break;
            default:
                if (at < text.size())
                    text[at] = static_cast<char>(rng() % 256);
            }
        }
        const TileList list = readTileList(text, kW, kH);
        check(list);
        // Each line gives at most one tile, and a tile's line is the one its name came from.
        std::size_t lines = 1;
        for (char c : text)
            lines += c == '\n';
        ASSERT_LE(list.tiles.size(), lines);
    }
}

} // namespace
} // namespace zindle
