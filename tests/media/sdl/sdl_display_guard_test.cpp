// The display guard under a real X server of the test's own: a request the server refuses is
// reported in one line and survived, where Xlib's own handler would end the process mid-call.
#include "media/sdl/sdl_display_guard.h"

// Before Xlib, whose macros (None, Bool) would rewrite the test framework's names.
#include <gtest/gtest.h>

#include <SDL.h>
#include <X11/Xlib.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace zindle {
namespace {

// Xvfb on a display number it picks itself; stopped when the object goes. It must not reset when
// its last client leaves: the test reconnects after SDL closes, and a server mid-reset refuses.
class OwnXServer {
public:
    OwnXServer() {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(fds[0]);
            const int quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(quiet, STDERR_FILENO);
            const std::string fd = std::to_string(fds[1]);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "640x480x24",
                     "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        char number[16] = {};
        std::size_t got = 0;
        // Xvfb writes the number and a newline once it accepts connections.
        while (got + 1 < sizeof number && ::read(fds[0], number + got, 1) == 1 &&
               number[got] != '\n')
            ++got;
        ::close(fds[0]);
        if (got > 0)
            display_ = ":" + std::string(number, got);
    }
    ~OwnXServer() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

TEST(SdlDisplayGuardTest, ARefusedRequestIsReportedAndSurvived) {
    OwnXServer server;
    if (server.display().empty())
        GTEST_SKIP() << "no Xvfb to run an X server";
    // In a child: the guard's handlers are process-wide and SDL's X11 driver is not for reuse.
    const pid_t child = ::fork();
    if (child == 0) {
        ::setenv("DISPLAY", server.display().c_str(), 1);
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
        surviveRefusedRequests();
        if (SDL_Init(SDL_INIT_VIDEO) != 0)
            ::_exit(3);
        guardDisplay();
        Display* display = XOpenDisplay(server.display().c_str());
        if (display == nullptr)
            ::_exit(4);
        // A window id that names nothing: the server refuses the request.
        XEvent event{};
        event.type = ClientMessage;
        XSendEvent(display, 0x3ffffff, False, NoEventMask, &event);
        XSync(display, False);
        XCloseDisplay(display);
        // SDL puts back the handler it found at its start when it closes: it must be ours.
        SDL_Quit();
        display = XOpenDisplay(server.display().c_str());
        if (display == nullptr)
            ::_exit(5);
        XSendEvent(display, 0x3ffffff, False, NoEventMask, &event);
        XSync(display, False);
        XCloseDisplay(display);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace
} // namespace zindle
