#pragma once
// A helper program run beside the game: started without waiting, its standard output
// discarded and its standard error kept in a file, asked once a frame whether it has ended.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zindle {

class ChildProcess {
public:
    // Starts argv[0] with argv; false with the reason in problem when it could not start.
    bool start(const std::vector<std::string>& argv, const std::filesystem::path& errorFile,
               std::string& problem);
    // The exit status once it has ended (128 + the signal for one ended by a signal), without
    // waiting; nothing while it runs or when none was started.
    std::optional<int> ended();
    // Waits for the end (tests, and nothing on the game's thread).
    std::optional<int> wait();
    bool running() const { return pid_ > 0; }

private:
    std::optional<int> reap(bool block);

    int pid_ = 0;
};

} // namespace zindle
