#pragma once
// The process's standard streams made safe before anything else runs: none of them closed, so
// that no file or socket takes a standard stream's number, and none whose reader went away can
// end the process when a diagnostic is written to it.
namespace zindle {

struct ClosedStandardDescriptors {
    bool input = false;
    bool output = false;
    bool error = false;
};

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed, and says which were. Started
// with `2>&-`, the X connection would otherwise get descriptor 2, and every warning written to
// standard error would go into the X protocol stream. Call first in main, before anything opens
// a file or a socket.
ClosedStandardDescriptors keepStandardDescriptorsOpen();

// A diagnostic written to a pipe whose reader has gone (`zindle | head -c0`) must cost that
// line, not the game: SIGPIPE is ignored, so the write just fails and the stream keeps its
// error to itself.
void ignoreBrokenPipes();

} // namespace zindle
