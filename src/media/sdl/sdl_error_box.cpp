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

// In the box's first process, which SDL's drawing process shares the group with: the game has
// gone, so the whole group goes.
void endBoxGroup(int) {
    ::kill(0, SIGKILL);
}

void setHandler(int signal, void (*handler)(int), int flags, struct sigaction* previous) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = flags;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, previous);
}

[[noreturn]] void runBox(pid_t game, const std::string& caption, const std::string& text) {
    ::setpgid(0, 0);
    for (int signal : kEndingSignals)
        setHandler(signal, SIG_DFL, 0, nullptr);
    // Told by the kernel when the game dies, however it dies (SIGKILL included).
    setHandler(SIGTERM, &endBoxGroup, 0, nullptr);
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
    std::array<struct sigaction, kEndingSignals.size()> previous{};
    for (std::size_t i = 0; i < kEndingSignals.size(); ++i)
        setHandler(kEndingSignals[i], &endBoxAndGame, SA_RESETHAND, &previous[i]);
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
