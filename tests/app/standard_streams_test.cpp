// The standard streams made safe at start-up, each case in a child process of its own, since
// what is tested is the state of the process's descriptors and signals.
#include "app/standard_streams.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <iostream>
#include <vector>

namespace zindle {
namespace {

// Runs body in a forked child and gives its exit status, or -signal when a signal ended it.
int inChild(const std::function<int()>& body) {
    const pid_t child = fork();
    if (child == 0)
        _exit(body());
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

bool isOpen(int fd) {
    return fcntl(fd, F_GETFD) != -1;
}

TEST(StandardStreamsTest, ClosedDescriptorsAreFilledSoThatNoFileTakesTheirNumbers) {
    const std::vector<std::vector<int>> closings = {{}, {0}, {1}, {2}, {1, 2}, {0, 1, 2}};
    for (const auto& closing : closings) {
        const int status = inChild([&] {
            for (int fd : closing)
                close(fd);
            const auto closed = keepStandardDescriptorsOpen();
            const bool said[] = {closed.input, closed.output, closed.error};
            for (int fd = 0; fd < 3; ++fd) {
                const bool wasClosed =
                    std::find(closing.begin(), closing.end(), fd) != closing.end();
                if (!isOpen(fd) || said[fd] != wasClosed)
                    return 10 + fd;
            }
            // The next file opened gets a number of its own, and writes to the filled ones go
            // nowhere without failing.
            const int next = open("/dev/null", O_RDONLY);
            if (next < 3)
                return 20;
            return write(STDERR_FILENO, "", 0) == 0 ? 0 : 21;
        });
        EXPECT_EQ(status, 0) << "closing " << closing.size() << " descriptors";
    }
}

TEST(StandardStreamsTest, AWriteToAPipeWithoutReaderFailsInsteadOfEndingTheProcess) {
    const int status = inChild([] {
        ignoreBrokenPipes();
        int ends[2];
        if (pipe(ends) != 0)
            return 30;
        close(ends[0]); // the reader has gone
        dup2(ends[1], STDOUT_FILENO);
        std::cout << "Warning: a line nobody reads" << std::endl;
        // Still here: the stream holds the failure, and the next line fails the same way.
        const bool failed = std::cout.bad();
        std::cout.clear();
        std::cout << "another" << std::endl;
        return failed && std::cout.bad() ? 0 : 31;
    });
    EXPECT_EQ(status, 0);
}

} // namespace
} // namespace zindle
