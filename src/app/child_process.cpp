// Starting a helper with posix_spawn (no copy of the game's memory, safe with the media
// layer's threads) and reaping it with waitpid. A browser has no processes: nothing starts.
#include "app/child_process.h"

#include <cerrno>
#include <cstring>

#ifndef __EMSCRIPTEN__
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;
#endif

namespace zindle {

bool ChildProcess::start(const std::vector<std::string>& argv,
                         const std::filesystem::path& errorFile, std::string& problem) {
#ifdef __EMSCRIPTEN__
    (void)argv;
    (void)errorFile;
    problem = "a browser cannot start programs";
    return false;
#else
    if (pid_ > 0 || argv.empty()) {
        problem = pid_ > 0 ? "one is still running" : "nothing to run";
        return false;
    }
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t pid = 0;
    const int error = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        problem = std::strerror(error);
        return false;
    }
    pid_ = pid;
    return true;
#endif
}

std::optional<int> ChildProcess::ended() {
    return reap(false);
}

std::optional<int> ChildProcess::wait() {
    return reap(true);
}

std::optional<int> ChildProcess::reap(bool block) {
#ifdef __EMSCRIPTEN__
    (void)block;
    return std::nullopt;
#else
    if (pid_ <= 0)
        return std::nullopt;
    int status = 0;
    pid_t done = 0;
    do {
        done = ::waitpid(pid_, &status, block ? 0 : WNOHANG);
    } while (done < 0 && errno == EINTR);
    if (done == 0)
        return std::nullopt;
    pid_ = 0;
    if (done < 0)
        return 127; // reaped elsewhere: its status is lost
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
#endif
}

} // namespace zindle
