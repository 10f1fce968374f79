// Parsing and checking the command-line options that zindle-sim and zindle-shot share.
#include "options.h"

#include "decimal.h"
#include "framework/untrusted_text.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <sstream>

namespace zindle::sim {

const char* const kCommonUsage =
    "  --seconds S     simulated seconds to run (S x 60 frames; default 60)\n"
    "  --seed N        seed of the random generator (default 1)\n"
    "  --ai 1,2,3,4    players switched to the computer before the first frame (each\n"
    "                  player once: a repeated number is refused)\n"
    "  --script FILE   timed input: TIME keydown CODE [ctrl] [alt] | TIME keyup CODE |\n"
    "                  TIME axis DEVICE AXIS VALUE | TIME buttondown|buttonup DEVICE BUTTON\n"
    "  --random FILE   random numbers, one per line in [0, 1), used instead of the seed\n"
    "  --trace FILE    one JSON line per step\n"
    "  --data DIR      the folder that holds assets/ (default: found from the executable)\n";

const std::string& optionValue(const std::vector<std::string>& args, std::size_t& i) {
    if (i + 1 >= args.size())
        throw UsageError(quoteUntrusted(args[i]) + " needs a value");
    return args[++i];
}

std::vector<double> parseNumberList(const std::string& option, const std::string& text) {
    std::vector<double> out;
    std::istringstream parts(text);
    for (std::string part; std::getline(parts, part, ',');) {
        double value = 0;
        if (!parseDecimal(part, value))
            throw UsageError(option + ": '" + quoteUntrusted(part) + "' is not a number");
        out.push_back(value);
    }
    if (out.empty())
        throw UsageError(option + " needs at least one number");
    return out;
}

std::vector<double> parseSeconds(const std::string& option, const std::string& text, double most) {
    auto values = parseNumberList(option, text);
    for (double value : values) {
        if (value < 0 || value > most)
            throw UsageError(option + " takes seconds from 0 to " +
                             std::to_string(static_cast<long>(most)));
    }
    return values;
}

std::uint64_t parseSeed(const std::string& option, const std::string& text) {
    std::uint64_t seed = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), seed);
    if (text.empty() || ec != std::errc() || ptr != text.data() + text.size())
        throw UsageError(option + " needs a whole number from 0 to 18446744073709551615, not '" +
                         quoteUntrusted(text) + "'");
    return seed;
}

void checkWritable(const std::string& option, const std::string& path) {
    const bool existed = ::access(path.c_str(), F_OK) == 0;
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOCTTY | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0)
        throw UsageError(option + ": cannot write " + quoteUntrusted(path) + ": " +
                         std::strerror(errno));
    ::close(fd);
    if (!existed)
        ::unlink(path.c_str());
}

bool parseCommonOption(const std::vector<std::string>& args, std::size_t& i, CommonOptions& out) {
    const std::string& name = args[i];
    if (name == "--seconds") {
        auto values = parseSeconds(name, optionValue(args, i));
        if (values.size() != 1)
            throw UsageError("--seconds needs one number");
        out.seconds = values[0];
    } else if (name == "--seed") {
        out.run.seed = parseSeed(name, optionValue(args, i));
    } else if (name == "--ai") {
        for (double value : parseNumberList(name, optionValue(args, i))) {
            if (value != std::floor(value) || value < 1 || value > 4)
                throw UsageError("--ai takes player numbers 1 to 4");
            // A slot named twice would be handed to the computer and taken back again.
            const int player = static_cast<int>(value);
            auto& players = out.run.aiPlayers;
            if (std::find(players.begin(), players.end(), player) != players.end())
                throw UsageError("--ai names player " + std::to_string(player) +
                                 " twice; each player is handed to the computer once");
            players.push_back(player);
        }
    } else if (name == "--script") {
        out.run.script = readScript(optionValue(args, i));
    } else if (name == "--random") {
        out.run.randomNumbers = readRandomNumbers(optionValue(args, i));
    } else if (name == "--trace") {
        out.tracePath = optionValue(args, i);
    } else if (name == "--data") {
        out.run.dataRoot = optionValue(args, i);
    } else {
        return false;
    }
    return true;
}

} // namespace zindle::sim
