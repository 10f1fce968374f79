#include "framework/untrusted_text.h"

#include <gtest/gtest.h>

#include <string>

namespace zindle {
namespace {

struct Case {
    std::string text;
    std::string shown;
};

TEST(UntrustedTextTest, ControlsAndForeignBytesAreEscapedAndOtherTextStays) {
    using namespace std::string_literals;
    const Case cases[] = {
        {"", ""},
        {"tile_07 12 3", "tile_07 12 3"},
        {"/home/ana/gamecontrollerdb.txt", "/home/ana/gamecontrollerdb.txt"},
        {"a\nb\rc\td", "a\\nb\\rc\\td"},
        {"nul\0here"s, "nul\\x00here"},
        {"\x1b[2J\x1b]0;title\x07", "\\x1b[2J\\x1b]0;title\\x07"},
        {"del\x7f", "del\\x7f"},
        {"back\\slash", "back\\\\slash"},
        {"Manette \xc3\xa9t\xc3\xa9 \xe2\x9c\x93 \xf0\x9f\x8e\xae", // accents, marks, emoji
         "Manette \xc3\xa9t\xc3\xa9 \xe2\x9c\x93 \xf0\x9f\x8e\xae"},
        {"c1 \xc2\x9b"
         "31m",
         "c1 \\u{9b}31m"}, // a one-character CSI
        {"abc\xe2\x80\xae"
         "fdp.exe",
         "abc\\u{202e}fdp.exe"}, // right-to-left override
        {"\xff\xfe bad", "\\xff\\xfe bad"},
        {"\xc0\xaf overlong", "\\xc0\\xaf overlong"},
        {"\xed\xa0\x80 surrogate", "\\xed\\xa0\\x80 surrogate"},
        {"cut \xe2\x9c", "cut \\xe2\\x9c"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(quoteUntrusted(c.text), c.shown) << c.shown;
}

TEST(UntrustedTextTest, AtMostSixtyFourCharactersAreRepeated) {
    const auto repeat = [](const std::string& piece, std::size_t times) {
        std::string out;
        for (std::size_t i = 0; i < times; ++i)
            out += piece;
        return out;
    };
    const std::size_t most = kMaxQuotedCharacters;
    const Case cases[] = {
        {repeat("x", most), repeat("x", most)},
        {repeat("x", most + 1), repeat("x", most) + "..."},
        {std::string(10'000'000, 'w'), repeat("w", most) + "..."},
        // An escape counts as the one character it stands for, a UTF-8 sequence as one too.
        {std::string(most, '\x1b'), repeat("\\x1b", most)},
        {std::string(most + 1, '\x1b'), repeat("\\x1b", most) + "..."},
        {std::string(70, '\0'), repeat("\\x00", most) + "..."},
        {repeat("\xc3\xa9", most + 1), repeat("\xc3\xa9", most) + "..."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(quoteUntrusted(c.text), c.shown) << c.text.size() << " bytes";
}

} // namespace
} // namespace zindle
