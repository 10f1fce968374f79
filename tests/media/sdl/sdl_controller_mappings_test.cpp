#include "media/sdl/sdl_controller_mappings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace zindle {
namespace {

using namespace std::string_literals;

const std::string kPad = "03000000aaaa0000bbbb000000000000,";
const std::string kOther = "03000000cccc0000dddd000000000000,";

struct Refusals {
    std::size_t count;
    std::size_t firstLine;
    std::string problem; // the start of the first one's explanation
};

struct Case {
    std::string what;
    std::string text;
    std::vector<std::string> mappings; // handed to SDL, in order
    Refusals refused;
};

std::vector<std::string> texts(const PadMappingSelection& selection) {
    std::vector<std::string> out;
    for (const auto& mapping : selection.mappings)
        out.emplace_back(mapping.text);
    return out;
}

TEST(PadMappingSelectionTest, LinesAreReadAsSdlWouldAndBrokenOnesNamed) {
    const Case cases[] = {
        {"the platform in any case",
         kPad + "A,a:b0,platform:linux,\n" + kOther + "B,a:b0,platform:LINUX,\n",
         {kPad + "A,a:b0,platform:linux,", kOther + "B,a:b0,platform:LINUX,"},
         {}},
        {"other platforms and comments skipped",
         "# a comment\n\n" + kPad + "A,a:b0,platform:Windows,\n  \t\n" + kOther + "B,a:b0,\n",
         {kOther + "B,a:b0,"},
         {}},
        {"a platform named in the name field is no platform field",
         kPad + "platform:Windows,a:b0,\n",
         {kPad + "platform:Windows,a:b0,"},
         {}},
        {"CR alone ends a line",
         kPad + "A,a:b0,\r" + kOther + "B,a:b0,\r",
         {kPad + "A,a:b0,", kOther + "B,a:b0,"},
         {}},
        {"CRLF is one line end",
         kPad + "A,a:b0,\r\n\r\nbad\r\n" + kOther + "B,a:b0,",
         {kPad + "A,a:b0,", kOther + "B,a:b0,"},
         {1, 3, "no GUID before a comma"}},
        {"a NUL byte refuses the whole line",
         kPad + "A,a:b0,\n" + kOther + "B,a:b0,\0start:b7,\n"s,
         {kPad + "A,a:b0,"},
         {1, 2, "it holds a NUL byte: \"" + kOther + "B,a:b0,\\x00start:b7,\""}},
        {"no name", kPad + "\n" + kPad + "A\n", {}, {2, 1, "no name between two commas"}},
        {"no GUID", ",A,a:b0,\n", {}, {1, 1, "no GUID before a comma"}},
        {"a line too long",
         kPad + "A," + std::string(kMaxPadMappingBytes, 'x') + "\n",
         {},
         {1, 1, "longer than 1024 bytes: \"" + kPad}},
        {"the last line of a pad wins, GUIDs in any case",
         kPad + "A,a:b0,\n" + kOther + "B,a:b0,\n" + "03000000AAAA0000BBBB000000000000,C,a:b1,\n",
         {kOther + "B,a:b0,", "03000000AAAA0000BBBB000000000000,C,a:b1,"},
         {}},
    };
    for (const auto& c : cases) {
        const PadMappingSelection selection = selectControllerMappings(c.text, "Linux");
        EXPECT_EQ(texts(selection), c.mappings) << c.what;
        EXPECT_EQ(selection.refused, c.refused.count) << c.what;
        EXPECT_EQ(selection.firstRefused, c.refused.firstLine) << c.what;
        EXPECT_EQ(selection.firstProblem.substr(0, c.refused.problem.size()), c.refused.problem)
            << c.what;
        EXPECT_EQ(selection.padsOverLimit, 0u) << c.what;
    }
}

TEST(PadMappingSelectionTest, AtMostTheLimitOfPadsReachesSdlHoweverLongTheFile) {
    // A 2 MB file of the shortest lines holds tens of thousands of pads.
    std::string text;
    std::size_t lines = 0;
    for (char line[64]; text.size() < (2u << 20) - sizeof line; ++lines) {
        std::snprintf(line, sizeof line, "03000000%024zx,P,a:b0,platform:Linux,\n", lines);
        text += line;
    }
    text += "03000000000000000000000000000000,First again,a:b1,\n";
    const PadMappingSelection selection = selectControllerMappings(text, "Linux");
    ASSERT_EQ(selection.mappings.size(), kMaxPadMappings);
    EXPECT_EQ(selection.padsOverLimit, lines - kMaxPadMappings);
    // A pad already taken is still replaced by its later line.
    EXPECT_EQ(selection.mappings.back().text, "03000000000000000000000000000000,First again,a:b1,");
    EXPECT_EQ(selection.mappings.back().line, lines + 1);
    EXPECT_EQ(selection.refused, 0u);
}

} // namespace
} // namespace zindle
