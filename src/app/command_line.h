#pragma once
// The game's command line: what a player may ask for when starting it (help, the version, a
// window instead of full screen, silence, a fixed random seed) and the answer to anything else.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zindle {

struct CommandLine {
    enum class Action { Play, Help, Version, Refuse };

    Action action = Action::Play;
    bool windowed = false; // a window of a whole multiple of the picture instead of full screen
    bool mute = false;     // no sound effects and no music
    std::string replay;    // a replay file to watch instead of playing
    bool host = false;     // open a room online, on a relay inside the game
    std::string relay;     // with host: the address of a relay elsewhere to open the room on
    std::string join;      // the link of a room to join online (read by the online side)
    // The random source's seed; without it the run takes one from the operating system.
    std::optional<std::uint64_t> seed;
    std::string refusal; // for Refuse: one line naming the argument

    // args are the arguments after the program's name. The first argument that is not an
    // option we know refuses the whole line: a typo must not start the game in a mode the
    // player did not ask for.
    static CommandLine parse(const std::vector<std::string>& args);

    // The two lines of how to call the program; help() adds what each option does.
    static std::string usage();
    static std::string help();
    static std::string version();

    // Exit statuses for an answered and a refused command line.
    static constexpr int kAnswered = 0;
    static constexpr int kRefused = 2;
};

} // namespace zindle
