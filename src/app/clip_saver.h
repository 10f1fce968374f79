#pragma once
// F12 at any moment of a match: its last ten seconds as an animated GIF beside the replays.
// zindle-shot renders it from a replay in a child process, so the game never waits, and one
// line at the top of the screen says what is happening, then names the file or the problem.
#include "app/child_process.h"
#include "loop/frame_hooks.h"
#include "replay/replay_folder.h"

#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace zindle {

class ClipSaver : public FrameOverlay {
public:
    // What a clip is rendered from: a replay that reaches now on its match clock.
    struct Source {
        std::filesystem::path replay;
        bool scratch = false; // a copy made for the clip, removed once it is rendered
        double now = 0;       // seconds since the match's first join
    };
    struct Options {
        std::filesystem::path folder;   // where clips go: the replays' folder
        std::filesystem::path shot;     // the zindle-shot program
        std::filesystem::path dataRoot; // the folder that holds assets/
        // Fills source with the replay so far; false with a reason when there is none.
        std::function<bool(Source& source, std::string& problem)> source;
        std::function<std::time_t()> now = [] { return std::time(nullptr); };
        std::function<double()> clock; // seconds, for how long the line shows
        int scale = 2;
        // Clips kept, apart from the replays and under the same limits.
        std::size_t keepFiles = kReplaysKept;
        std::uintmax_t keepBytes = kReplayBytesKept;
    };
    static constexpr double kClipSeconds = 10;
    static constexpr double kLineSeconds = 5;

    explicit ClipSaver(Options options);
    // A clip still being rendered goes on by itself.
    ~ClipSaver() override;

    // Once a frame: poll, then draw.
    void frameDrawn(Graphics& graphics) override;
    // F12 presses.
    void windowKey(int keyCode, bool alt) override;
    // The pad's clip button presses.
    void padButton(int button) override;

    // F12.
    void press();
    // Once a frame: notices a finished clip. Never waits.
    void poll();
    // Waits for the clip being rendered (tests).
    void finish();
    // The line shown now; empty when none.
    std::string line() const;
    // The line, if any, over everything drawn this frame.
    void draw(Graphics& graphics) const;
    // The file of the last clip asked for.
    const std::filesystem::path& lastClip() const { return clip_; }
    // Shows text on the line for a few seconds (or until the next, when lasting): the line
    // also tells the player what became of the match's recording.
    void say(std::string text, bool lasting = false);

private:
    void ended(int status);

    Options options_;
    ChildProcess child_;
    std::filesystem::path clip_;
    std::filesystem::path errorFile_;
    std::string line_;
    double lineUntil_ = 0;
    bool lineLasts_ = false;
    int started_ = 0;
};

} // namespace zindle
