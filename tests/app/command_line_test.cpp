#include "app/command_line.h"
#include "base/version.h"

#include <gtest/gtest.h>

#include <string>

namespace zindle {
namespace {

using Action = CommandLine::Action;

TEST(CommandLineTest, NoArgumentsPlayAsAlwaysAndOptionsCombine) {
    const auto plain = CommandLine::parse({});
    EXPECT_EQ(plain.action, Action::Play);
    EXPECT_FALSE(plain.windowed);
    EXPECT_FALSE(plain.mute);

    const auto both = CommandLine::parse({"--mute", "--windowed", "--mute"});
    EXPECT_EQ(both.action, Action::Play);
    EXPECT_TRUE(both.windowed);
    EXPECT_TRUE(both.mute);
}

TEST(CommandLineTest, HelpAndVersionAnswerInsteadOfPlaying) {
    EXPECT_EQ(CommandLine::parse({"--windowed", "--help"}).action, Action::Help);
    EXPECT_EQ(CommandLine::parse({"-h"}).action, Action::Help);
    EXPECT_EQ(CommandLine::parse({"--version"}).action, Action::Version);
    EXPECT_EQ(CommandLine::parse({"--help", "--version"}).action, Action::Help);
    EXPECT_EQ(CommandLine::parse({"--version", "--help"}).action, Action::Help);
    EXPECT_EQ(CommandLine::version(),
              std::string("zindle (Zindle vs Pellorin) ") + kVersion + "\n");
}

TEST(CommandLineTest, TheFirstUnknownArgumentIsNamedAndRefusesTheLine) {
    const auto option = CommandLine::parse({"--mute", "--fullscreen", "stray"});
    EXPECT_EQ(option.action, Action::Refuse);
    EXPECT_EQ(option.refusal, "unknown option '--fullscreen'");

    const auto stray = CommandLine::parse({"level2", "--help"});
    EXPECT_EQ(stray.action, Action::Refuse) << "a stray argument is not hidden by --help after it";
    EXPECT_EQ(stray.refusal, "unexpected argument 'level2'");

    // Near misses of real options are refused too, rather than half-understood.
    for (const char* arg : {"--Windowed", "--mute=yes", "-", "", "--"})
        EXPECT_EQ(CommandLine::parse({arg}).action, Action::Refuse) << "'" << arg << "'";
}

TEST(CommandLineTest, ReplayTakesTheNextArgumentAsItsFileAndNeedsOne) {
    const auto line = CommandLine::parse({"--mute", "--replay", "--windowed"});
    EXPECT_EQ(line.action, Action::Play);
    EXPECT_EQ(line.replay, "--windowed"); // a file may be named anything
    EXPECT_FALSE(line.windowed);
    const auto missing = CommandLine::parse({"--replay"});
    EXPECT_EQ(missing.action, Action::Refuse);
    EXPECT_EQ(missing.refusal, "--replay needs a file");
}

TEST(CommandLineTest, OnlinePlayHostsOrJoinsButNeverBothNorWithAReplay) {
    EXPECT_TRUE(CommandLine::parse({"--host", "--windowed"}).host);
    EXPECT_EQ(CommandLine::parse({"--join", "http://h:1/#X"}).join, "http://h:1/#X");
    EXPECT_EQ(CommandLine::parse({"--relay", "http://r:8080", "--host"}).relay, "http://r:8080");
    // A link alone, as a desktop opens one from a chat, joins too.
    EXPECT_EQ(CommandLine::parse({"--windowed", "https://h/#X"}).join, "https://h/#X");
    const struct {
        std::vector<std::string> args;
        std::string refusal;
    } refused[] = {
        {{"--join"}, "--join needs a room's link"},
        {{"--host", "--join", "x"},
         "--host, --join and --replay each start a different game: "
         "choose one"},
        {{"--replay", "f", "--host"},
         "--host, --join and --replay each start a different game: "
         "choose one"},
        {{"--host", "--relay"}, "--relay needs a relay's address, like http://HOST:PORT"},
        {{"--join", "x", "--relay", "http://r:1"},
         "--relay names where --host opens its room: use them together"},
        {{"http://h:1/#X", "--host"},
         "--host, --join and --replay each start a different game: choose one"},
        {{"http://h:1/#X", "http://h:2/#Y"}, "unexpected argument 'http://h:2/#Y'"},
        {{"--join", "http://a:1/#X", "--join", "http://b:1/#Y"},
         "--join is given twice: choose one room"},
        {{"--replay", "a.zrp", "--replay", "b.zrp"}, "--replay is given twice: choose one file"},
        {{"--host", "--relay", "http://a:1", "--relay", "http://b:1"},
         "--relay is given twice: choose one relay"},
    };
    for (const auto& c : refused) {
        const auto line = CommandLine::parse(c.args);
        EXPECT_EQ(line.action, Action::Refuse) << c.args.front();
        EXPECT_EQ(line.refusal, c.refusal);
    }
    // Asking for help is still answered, whatever else is on the line.
    EXPECT_EQ(CommandLine::parse({"--host", "--join", "x", "--help"}).action, Action::Help);
}

// What the refusal repeats of the argument is escaped and cut short.
TEST(CommandLineTest, TheRefusalQuotesTheArgumentSafely) {
    using namespace std::string_literals;
    const struct {
        std::string arg;
        std::string refusal;
    } cases[] = {
        {"--\x1b[31mred", "unknown option '--\\x1b[31mred'"},
        {"a\0b"s, "unexpected argument 'a\\x00b'"},
        {"-" + std::string(1'000'000, 'x'), "unknown option '-" + std::string(63, 'x') + "...'"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CommandLine::parse({c.arg}).refusal, c.refusal);
}

TEST(CommandLineTest, SeedTakesAWholeNumberThatFitsSixtyFourBits) {
    EXPECT_FALSE(CommandLine::parse({"--mute"}).seed) << "without --seed the system seeds";
    const struct {
        const char* text;
        std::uint64_t seed;
    } good[] = {{"0", 0}, {"1", 1}, {"18446744073709551615", UINT64_MAX}, {"007", 7}};
    for (const auto& c : good) {
        const auto line = CommandLine::parse({"--seed", c.text, "--windowed"});
        EXPECT_EQ(line.action, Action::Play) << c.text;
        EXPECT_EQ(line.seed, c.seed) << c.text;
        EXPECT_TRUE(line.windowed) << "options after the value still count";
    }
    for (const char* bad : {"18446744073709551616", "-1", "+1", "1.5", "0x10", "", " 1", "one"}) {
        const auto line = CommandLine::parse({"--seed", bad});
        EXPECT_EQ(line.action, Action::Refuse) << bad;
        EXPECT_EQ(line.refusal, std::string("--seed needs a whole number from 0 to "
                                            "18446744073709551615, not '") +
                                    bad + "'");
    }
    const auto missing = CommandLine::parse({"--mute", "--seed"});
    EXPECT_EQ(missing.action, Action::Refuse);
    EXPECT_EQ(missing.refusal, "--seed needs a number");
    // The value is taken as the seed, never as an option of its own.
    EXPECT_EQ(CommandLine::parse({"--seed", "--help"}).action, Action::Refuse);
}

TEST(CommandLineTest, HelpStartsWithTheUsageAndNamesEveryOption) {
    const std::string help = CommandLine::help();
    EXPECT_EQ(help.rfind(CommandLine::usage(), 0), 0u);
    for (const char* option : {"--windowed", "--mute", "--seed N", "--replay", "--host",
                               "--relay URL", "--join LINK", "--help", "--version"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
}

} // namespace
} // namespace zindle
