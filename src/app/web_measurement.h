#pragma once
// Options the web page passes to the program for measurements only, from its address: a seed,
// players handed to the computer before the first frame, seconds played at once, and scores
// raised so that a win's fountain is watched. Without them the game starts as it always does.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zindle {

class Game;

struct WebMeasurement {
    // "--seed N" seeds the random numbers and holds the clock until the skip, so that the start
    // happens at the same moments as in a headless run.
    std::optional<std::uint64_t> seed;
    // "--ai 1,2,3,4": these players (0 to 3) go to the computer before the first frame.
    std::vector<int> computerPlayers;
    // "--skip S": with a seed, the first S seconds are played at once, undrawn.
    double skipSeconds = 0;
    // "--score N": meanwhile every hero keeps at least this score (5: the next catch wins), and
    // the skip ends at the first win; negative when not asked for.
    int score = -1;

    // args are the arguments after the program's name. A value that is no number is left out
    // with one line on standard output naming it, as the page passes what its address says.
    static WebMeasurement parse(const std::vector<std::string>& args);

    // Seconds to play at once (only with a seed: without one the run is not a replay).
    double skip() const { return seed ? skipSeconds : 0; }
    // Raises every hero of the game below the score to it.
    void raiseScores(Game& game) const;
    // True once a win has sent its winner up (only when the scores are raised).
    bool won(const Game& game) const;
};

} // namespace zindle
