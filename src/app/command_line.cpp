// The game's command line: a handful of options, answered the way desktop programs answer.
#include "app/command_line.h"

#include "base/version.h"
#include "framework/untrusted_text.h"

#include <charconv>

namespace zindle {

namespace {
// A whole decimal number that fits 64 bits, and nothing else (no sign, no spaces).
std::optional<std::uint64_t> parseSeed(const std::string& text) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end)
        return std::nullopt;
    return value;
}
} // namespace

CommandLine CommandLine::parse(const std::vector<std::string>& args) {
    CommandLine line;
    auto refuse = [&line](std::string why) {
        line.action = Action::Refuse;
        line.refusal = std::move(why);
        return line;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            line.action = Action::Help;
        } else if (arg == "--version") {
            // Help wins over the version when both are asked for, as the more useful answer.
            if (line.action != Action::Help)
                line.action = Action::Version;
        } else if (arg == "--windowed") {
            line.windowed = true;
        } else if (arg == "--mute") {
            line.mute = true;
        } else if (arg == "--replay") {
            if (i + 1 >= args.size())
                return refuse("--replay needs a file");
            // A second one would silently win over the first: which did the player mean?
            if (!line.replay.empty())
                return refuse("--replay is given twice: choose one file");
            line.replay = args[++i];
        } else if (arg == "--host") {
            line.host = true;
        } else if (arg == "--relay") {
            if (i + 1 >= args.size())
                return refuse("--relay needs a relay's address, like http://HOST:PORT");
            if (!line.relay.empty())
                return refuse("--relay is given twice: choose one relay");
            line.relay = args[++i];
        } else if (arg == "--join") {
            if (i + 1 >= args.size())
                return refuse("--join needs a room's link");
            if (!line.join.empty())
                return refuse("--join is given twice: choose one room");
            line.join = args[++i];
        } else if (arg == "--seed") {
            if (i + 1 == args.size())
                return refuse("--seed needs a number");
            line.seed = parseSeed(args[++i]);
            if (!line.seed)
                return refuse("--seed needs a whole number from 0 to 18446744073709551615, not '" +
                              quoteUntrusted(args[i]) + "'");
        } else if ((arg.starts_with("http://") || arg.starts_with("https://")) &&
                   line.join.empty()) {
            // A room's link opened from a chat or a browser starts the game with it.
            line.join = arg;
        } else {
            return refuse((arg.starts_with("-") ? "unknown option '" : "unexpected argument '") +
                          quoteUntrusted(arg) + "'");
        }
    }
    const int modes =
        (line.host ? 1 : 0) + (line.join.empty() ? 0 : 1) + (line.replay.empty() ? 0 : 1);
    if (line.action == Action::Play && modes > 1)
        return refuse("--host, --join and --replay each start a different game: choose one");
    if (line.action == Action::Play && !line.relay.empty() && !line.host)
        return refuse("--relay names where --host opens its room: use them together");
    return line;
}

std::string CommandLine::usage() {
    return "Usage: zindle [--windowed] [--mute] [--seed N]\n"
           "              [--replay FILE | --host [--relay URL] | --join LINK]\n"
           "       zindle [--windowed] [--mute] LINK\n"
           "       zindle --help | --version\n";
}

std::string CommandLine::help() {
    return usage() +
           "\n"
           "Zindle vs Pellorin, a one-screen arcade game for one to four players.\n"
           "\n"
           "  --windowed  play in a window (the largest whole multiple of 480 by 320 that\n"
           "              fits the screen) instead of full screen\n"
           "  --mute      play without sound effects and music\n"
           "  --seed N    start the random source from N (0 to 2^64 - 1) instead of a seed\n"
           "              from the system, to play a run's random numbers again\n"
           "  --replay FILE\n"
           "              watch a recorded match: SPACE pauses, LEFT and RIGHT jump 5 s\n"
           "              (30 s with SHIFT), UP and DOWN change the speed, '.' steps a\n"
           "              frame while paused, ESC ends. Every match is recorded in\n"
           "              $XDG_DATA_HOME/zindle-vs-pellorin/replays (~/.local/share/...)\n"
           "  --host      open a room for friends to join online: the game starts a relay\n"
           "              on a free port and shows the room's link on the title and on\n"
           "              standard output; a browser opening the link joins too\n"
           "  --relay URL with --host: open the room on the zindle-relay at URL (like\n"
           "              http://HOST:PORT) instead, for friends outside this network\n"
           "  --join LINK join the room of a link like http://HOST:PORT/#CODE (the link\n"
           "              alone does the same)\n"
           "  -h, --help  show this help and exit\n"
           "  --version   show the version and exit\n"
           "\n"
           "Keys: player 1 steers with the arrows and joins with SPACE; players 2 to 4 with\n"
           "Q W E, O P I and Z X C. A gamepad steers with its stick or D-pad and joins with\n"
           "Start or its lower face button. ESC leaves a match, and the game from the title.\n"
           "More in zindle(6).\n";
}

std::string CommandLine::version() {
    return std::string("zindle (Zindle vs Pellorin) ") + kVersion + "\n";
}

} // namespace zindle
