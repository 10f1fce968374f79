#pragma once
// The ways in to Main's frame loop: a tap that sees every input and step that reaches the
// game (the replay recorder, a replay's checksum check), a feed that runs frames in place of
// the clock and live input (a replay being watched or re-simulated, online play), and an
// overlay that the application lays over every frame (F12's clips).
#include "input/input_record.h"

namespace zindle {

class Graphics;
class Main;

class MatchTap {
public:
    virtual ~MatchTap() = default;
    // An input, just before the game gets it.
    virtual void input(const InputRecord& record) = 0;
    // After every step.
    virtual void stepped() = 0;
    // After the frame's steps, before its drawing.
    virtual void frameEnded(int steps) = 0;
    // After the frame's drawing (which may draw random numbers): the game stands as the next
    // frame will find it, before that frame's inputs.
    virtual void frameDrawn() {}
};

class FrameFeed {
public:
    virtual ~FrameFeed() = default;
    // Called on every stage frame instead of the clock: runs what is due with Main::playFrame
    // (any number of recorded frames, or none).
    virtual void enterFrame(Main& main) = 0;
    // Every live input goes here, not to the game: keys with their modifiers and the joysticks'
    // too, as the game would have got them (online play sends them on as seat inputs, a replay
    // being watched takes its keys from them). Window keys (ALT+ENTER, ALT+F4) stay Main's.
    virtual void input(const InputRecord& /*record*/) {}
};

// Drawn over every frame after the board, and told of every key and pad button before the game
// or a feed hears of it. The loop does not know what it shows.
class FrameOverlay {
public:
    virtual ~FrameOverlay() = default;
    // Once a frame: notices what changed since the last, then draws over the frame.
    virtual void frameDrawn(Graphics& graphics) = 0;
    // A key pressed, by its raw code, with ALT held or not.
    virtual void windowKey(int keyCode, bool alt) = 0;
    // A joystick button pressed, by its number, before the game hears of it.
    virtual void padButton(int button) = 0;
};

} // namespace zindle
