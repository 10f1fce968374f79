// zindle-relay: rooms for online matches and, with --web, the web build on the same port.
// Started as root it gives up root for an ordinary user once the port is bound.
#include "relay/descriptor_limit.h"
#include "relay/relay_server.h"

#include <algorithm>
#include <charconv>
#include <csignal>
#include <cstring>
#include <grp.h>
#include <iostream>
#include <pthread.h>
#include <pwd.h>
#include <string_view>
#include <unistd.h>

namespace {

constexpr const char* kUsage =
    "usage: zindle-relay [--web DIR] [--port N] [--address ADDR] [--shard N] [--max-rooms N]\n"
    "                    [--user NAME] [--per-address N] [--metrics-from LIST]\n"
    "  --per-address N: connections and join attempts allowed from one address (default 64\n"
    "                   connections, 8 joins at once); raise it only for a load test.\n"
    "  --metrics-from LIST: addresses and blocks (a.b.c.d/n, comma-separated) that may read\n"
    "                   /metrics and /healthz (default 127.0.0.0/8,::1).\n";

struct Arguments {
    zindle::relay::RelayOptions relay;
    std::string user = "nobody";
};

bool parseNumber(std::string_view text, long min, long max, long& out) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc() && end == text.data() + text.size() && out >= min && out <= max;
}

// The arguments, or nothing after one line on standard error.
std::optional<Arguments> parseArguments(int argc, char** argv) {
    Arguments args;
    for (int i = 1; i < argc; ++i) {
        const std::string_view name = argv[i];
        if (name == "--help" || name == "-h") {
            std::cout << kUsage;
            std::exit(0);
        }
        if (i + 1 >= argc) {
            std::cerr << "zindle-relay: " << name << " needs a value\n" << kUsage;
            return std::nullopt;
        }
        const std::string_view value = argv[++i];
        long number = 0;
        if (name == "--web") {
            args.relay.webRoot = std::filesystem::path(value);
        } else if (name == "--address") {
            args.relay.address = value;
        } else if (name == "--metrics-from") {
            std::string problem;
            auto access = zindle::relay::OperatorAccess::parse(value, problem);
            if (!access) {
                std::cerr << "zindle-relay: --metrics-from: " << problem << "\n";
                return std::nullopt;
            }
            args.relay.operatorAccess = std::move(*access);
        } else if (name == "--user") {
            args.user = value;
        } else if (name == "--port" && parseNumber(value, 0, 65535, number)) {
            args.relay.port = static_cast<unsigned short>(number);
        } else if (name == "--shard" &&
                   parseNumber(value, 0, zindle::relay::kMaxShards - 1, number)) {
            args.relay.rules.shard = static_cast<int>(number);
        } else if (name == "--per-address" && parseNumber(value, 1, 1'000'000, number)) {
            args.relay.maxConnectionsPerAddress = static_cast<std::size_t>(number);
            args.relay.maxConnectionsPerNetwork =
                std::max(args.relay.maxConnectionsPerNetwork, static_cast<std::size_t>(number));
            args.relay.rules.joinBurst = static_cast<double>(number);
        } else if (name == "--max-rooms" && parseNumber(value, 1, 1'000'000, number)) {
            args.relay.rules.maxRooms = static_cast<std::size_t>(number);
        } else {
            std::cerr << "zindle-relay: bad option " << name << " " << value << "\n" << kUsage;
            return std::nullopt;
        }
    }
    return args;
}

// A relay needs no privilege once it listens; if it has some, it drops all of it.
bool dropRoot(const std::string& user) {
    if (geteuid() != 0)
        return true;
    const passwd* account = getpwnam(user.c_str());
    if (!account || account->pw_uid == 0) {
        std::cerr << "zindle-relay: started as root and no ordinary user named " << user << "\n";
        return false;
    }
    if (setgroups(0, nullptr) != 0 || setgid(account->pw_gid) != 0 ||
        setuid(account->pw_uid) != 0) {
        std::cerr << "zindle-relay: could not become " << user << ": " << std::strerror(errno)
                  << "\n";
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::optional<Arguments> args = parseArguments(argc, argv);
    if (!args)
        return 2;
    if (args->relay.webRoot && !std::filesystem::is_directory(*args->relay.webRoot)) {
        std::cerr << "zindle-relay: " << args->relay.webRoot->string() << ": not a folder\n";
        return 2;
    }
    args->relay.log = [](std::string_view line) { std::cerr << "zindle-relay: " << line << "\n"; };
    if (const std::string problem = zindle::relay::raiseDescriptorLimit(); !problem.empty())
        std::cerr << "zindle-relay: " << problem << "\n";

    // Signals wait for the main thread's sigwait, not for whichever thread they land on.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    try {
        zindle::relay::RelayServer server(args->relay);
        const unsigned short port = server.listen();
        if (!dropRoot(args->user))
            return 1;
        server.checkWebFolderReadable();
        std::cerr << "zindle-relay: listening on " << args->relay.address << ":" << port
                  << (server.listensOnIpv6() ? " and on IPv6" : "") << "\n";
        server.runInBackground();
        int signal = 0;
        sigwait(&stopSignals, &signal);
        server.stop();
    } catch (const std::exception& error) {
        std::cerr << "zindle-relay: " << error.what() << "\n";
        return 1;
    }
    std::cerr << "zindle-relay: stopped\n";
    return 0;
}
