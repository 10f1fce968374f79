// The error box in a process group of its own, ended with the game: SDL forks the process that
// draws the box, so the game keeps the group's number and ends the group when it is ended.
#include "media/sdl/sdl_error_box.h"

#include <SDL.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>

namespace zindle {

namespace {

constexpr std::array kEndingSignals = {SIGTERM, SIGINT, SIGHUP};

volatile sig_atomic_t gBoxGroup = 0; // the box's process group while the game waits on it

// In the game: the box's whole group goes first, then the game with the signal it was sent
// (the handler is reset, so the re-raised signal takes its default course once this returns).
void endBoxAndGame(int signal) {
    if (gBoxGroup > 0)
        ::kill(-gBoxGroup, SIGKILL);
    ::raise(signal);
}

// In the box's group (its first process, and SDL's drawing process, which inherits this): the
// game has gone, or the box was told to end, so the whole group goes.
void endBoxGroup(int) {
    ::kill(0, SIGKILL);
}

void setHandler(int signal, void (*handler)(int), int flags) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = flags;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
}

[[noreturn]] void runBox(pid_t game, const std::string& caption, const std::string& text) {
    ::setpgid(0, 0);
    // Ended on its own, the first process takes SDL's with it; SIGTERM also comes from the
    // kernel when the game dies, however it dies (SIGKILL included).
    for (int signal : kEndingSignals)
        setHandler(signal, &endBoxGroup, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != game)
        ::_exit(1); // the game died before the line above
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption.c_str(), text.c_str(), nullptr);
    ::_exit(0); // no exit handlers: they belong to the game
}

} // namespace

void showErrorBox(const std::string& caption, const std::string& text) {
    // The ending signals wait until the box's group is known, so that none can end the game
    // with the box half started.
    sigset_t ending;
    sigset_t previousMask;
    sigemptyset(&ending);
    for (int signal : kEndingSignals)
        sigaddset(&ending, signal);
    ::sigprocmask(SIG_BLOCK, &ending, &previousMask);
    const pid_t game = ::getpid();
    const pid_t box = ::fork();
    if (box == 0)
        runBox(game, caption, text);
    if (box < 0) {
        ::sigprocmask(SIG_SETMASK, &previousMask, nullptr);
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption.c_str(), text.c_str(), nullptr);
        return;
    }
    ::setpgid(box, box); // as the box does itself: whichever comes first
    gBoxGroup = box;
    // A signal the game was started to ignore (nohup's SIGHUP) stays ignored.
    std::array<struct sigaction, kEndingSignals.size()> previous{};
    for (std::size_t i = 0; i < kEndingSignals.size(); ++i) {
        ::sigaction(kEndingSignals[i], nullptr, &previous[i]);
        if (previous[i].sa_handler != SIG_IGN)
            setHandler(kEndingSignals[i], &endBoxAndGame, SA_RESETHAND);
    }
    ::sigprocmask(SIG_SETMASK, &previousMask, nullptr);

    int status = 0;
    while (::waitpid(box, &status, 0) < 0 && errno == EINTR) {
    }

    ::sigprocmask(SIG_BLOCK, &ending, nullptr);
    for (std::size_t i = 0; i < kEndingSignals.size(); ++i)
        ::sigaction(kEndingSignals[i], &previous[i], nullptr);
    gBoxGroup = 0;
    ::sigprocmask(SIG_SETMASK, &previousMask, nullptr);
}

} // namespace zindle
