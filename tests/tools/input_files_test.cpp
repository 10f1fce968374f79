// The sim's input files: what a script line becomes, and how a bad line is reported.
#include "input_files.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace zindle;
using namespace zindle::sim;

namespace {

std::vector<ScriptEvent> script(const std::string& text) {
    std::istringstream in(text);
    return parseScript(in, "moves.txt");
}

std::string errorOf(const std::string& text) {
    try {
        script(text);
    } catch (const InputFileError& e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST(SimScriptTest, EveryKindOfLineBecomesItsNativeRecord) {
    auto events = script("# warm-up\n"
                         "\n"
                         "0.5 keydown 50 ctrl\n"
                         "0.5 keyup 50\n"
                         "1 keydown 115 alt ctrl\n"
                         "2 axis 1 0 -32768\n"
                         "2.25 buttondown 3 7\n"
                         "3 buttonup 3 7\r\n");
    ASSERT_EQ(events.size(), 6u);
    EXPECT_EQ(events[0].record.type, MediaEventType::KEY_DOWN);
    EXPECT_EQ(events[0].record.code, 50);
    EXPECT_EQ(events[0].record.flags, 0x4);
    EXPECT_EQ(events[0].line, 3);
    EXPECT_EQ(events[1].record.type, MediaEventType::KEY_UP);
    EXPECT_EQ(events[1].record.flags, 0);
    EXPECT_EQ(events[2].record.flags, 0x4 | 0x8);
    EXPECT_EQ(events[3].record.type, MediaEventType::JOY_AXIS);
    EXPECT_EQ(events[3].record.device, 1);
    EXPECT_EQ(events[3].record.code, 0);
    EXPECT_EQ(events[3].record.value, -32768);
    EXPECT_EQ(events[4].record.type, MediaEventType::JOY_BUTTON_DOWN);
    EXPECT_EQ(events[4].record.device, 3);
    EXPECT_EQ(events[4].record.code, 7);
    EXPECT_DOUBLE_EQ(events[4].time, 2.25);
    EXPECT_EQ(events[5].record.type, MediaEventType::JOY_BUTTON_UP);
}

TEST(SimScriptTest, EventsAreOrderedByTimeAndKeepFileOrderWithinATime) {
    auto events = script("2 keydown 32\n1 keydown 69\n1 keyup 69\n0 keyup 32\n");
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].line, 4);
    EXPECT_EQ(events[1].line, 2);
    EXPECT_EQ(events[2].line, 3);
    EXPECT_EQ(events[3].line, 1);
}

TEST(SimScriptTest, BadLinesNameTheFileAndTheLine) {
    EXPECT_EQ(errorOf("1 keydown 32\nsoon keydown 32\n"),
              "moves.txt:2: time must be a number of seconds, 0 or more, not 'soon'");
    EXPECT_NE(errorOf("-1 keydown 32\n").find("moves.txt:1: time"), std::string::npos);
    EXPECT_NE(errorOf("1 jump 32\n").find("moves.txt:1: unknown event 'jump'"), std::string::npos);
    EXPECT_NE(errorOf("1 keydown\n").find("moves.txt:1:"), std::string::npos);
    EXPECT_NE(errorOf("1 keydown 32 shift\n").find("unknown modifier 'shift'"), std::string::npos);
    EXPECT_NE(errorOf("1 keydown 3x2\n").find("key code"), std::string::npos);
    EXPECT_NE(errorOf("1 axis 0 0 40000\n").find("axis value"), std::string::npos);
    EXPECT_NE(errorOf("1 axis 0 0\n").find("TIME axis DEVICE AXIS VALUE"), std::string::npos);
    EXPECT_NE(errorOf("1 buttondown 0\n").find("moves.txt:1:"), std::string::npos);
    EXPECT_NE(errorOf("nan keydown 32\n").find("time"), std::string::npos);
    EXPECT_NE(errorOf("inf keydown 32\n").find("time"), std::string::npos);
}

// A hostile script cannot flood the terminal or steer it through the error that names its word.
TEST(SimScriptTest, BadWordsAreQuotedEscapedAndCutShort) {
    const std::string huge(10'000'000, 'w');
    const struct {
        std::string text;
        std::string error;
    } cases[] = {
        {huge + " keydown 32\n", "moves.txt:1: time must be a number of seconds, 0 or more, not '" +
                                     std::string(64, 'w') + "...'"},
        {"1 " + huge + " 32\n", "moves.txt:1: unknown event '" + std::string(64, 'w') +
                                    "...' (use keydown, keyup, axis, buttondown, buttonup)"},
        {"1 keydown \x1b[2J\n",
         "moves.txt:1: key code must be an integer from 0 to 255, not '\\x1b[2J'"},
        {"1 keydown 32 \x1b]0;t\x07\n",
         "moves.txt:1: unknown modifier '\\x1b]0;t\\x07' (use ctrl or alt)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(errorOf(c.text), c.error);
}

TEST(SimRandomFileTest, ReadsNumbersInTheUnitIntervalAndRejectsOthers) {
    std::istringstream good("0\n# comment\n0.5\n\n0.999999\n");
    EXPECT_EQ(parseRandomNumbers(good, "r.txt"), (std::vector<double>{0, 0.5, 0.999999}));
    for (const char* bad : {"1\n", "-0.1\n", "0.5 0.5\n", "half\n", "nan\n"}) {
        std::istringstream in(std::string("0.25\n") + bad);
        try {
            parseRandomNumbers(in, "r.txt");
            ADD_FAILURE() << "accepted " << bad;
        } catch (const InputFileError& e) {
            EXPECT_NE(std::string(e.what()).find("r.txt:2:"), std::string::npos) << e.what();
        }
    }
}

TEST(SimInputFileTest, AMissingFileIsAnInputError) {
    EXPECT_THROW(readScript("/nonexistent/zindle/script.txt"), InputFileError);
    EXPECT_THROW(readRandomNumbers("/nonexistent/zindle/random.txt"), InputFileError);
}
