// Standard descriptors held open, and broken pipes that fail a write instead of killing.
#include "app/standard_streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace zindle {

namespace {
constexpr int kStandardDescriptors = 3; // input, output, error

bool isOpen(int fd) {
    return ::fcntl(fd, F_GETFD) != -1 || errno != EBADF;
}
} // namespace

ClosedStandardDescriptors keepStandardDescriptorsOpen() {
    ClosedStandardDescriptors closed;
    bool* flags[kStandardDescriptors] = {&closed.input, &closed.output, &closed.error};
    for (int fd = 0; fd < kStandardDescriptors; ++fd) {
        if (isOpen(fd))
            continue;
        *flags[fd] = true;
        // open() takes the lowest free number, which is this one: the lower ones are open.
        int filler = ::open("/dev/null", O_RDWR | O_NOCTTY);
        if (filler < 0) // no /dev/null (a bare chroot): any descriptor holds the place
            filler = ::open("/", O_RDONLY | O_DIRECTORY);
        if (filler >= 0 && filler != fd) {
            ::dup2(filler, fd);
            ::close(filler);
        }
    }
    return closed;
}

void ignoreBrokenPipes() {
    std::signal(SIGPIPE, SIG_IGN);
}

} // namespace zindle
