#pragma once
// Main: the one display object on the stage. Drives the board with fixed steps from the frame
// event, draws it once per frame, and routes keys and joysticks to Input and the board.
#include "app/board.h"
#include "framework/display_object.h"
#include "framework/event_dispatcher.h"
#include "match/rules.h"

#include <cstdint>
#include <memory>

namespace zindle {

class Event;
class KeyboardEvent;
class JoystickEvent;

class Main : public Sprite {
public:
    static constexpr double UPDATE_STEP = 1.0 / rules::kStepsPerSecond; // s, one fixed step
    static constexpr int MAX_STEPS = 30; // steps in one frame after which the schedule resyncs

    Main();
    ~Main() override;

    void onAddedToStage(Event* e);
    void update(Event& e);
    void onKeyDown(KeyboardEvent& e);
    void onKeyUp(KeyboardEvent& e);
    void onAxisMove(JoystickEvent& e);
    void onButtonDown(JoystickEvent& e);
    void onButtonUp(JoystickEvent& e);

    // Creates the one Main and puts it on the stage.
    static void main();
    // Forgets the class-level state (tests).
    static void reset();

    static Main* instance; // observer; the stage's root container owns it
    static std::unique_ptr<Board> board;
    static double nextUpdateTime;
    static std::uint64_t stepsTaken; // fixed steps run since start-up (measurements)
    static bool fullscreen;
    // Whether the stage goes full screen when Main arrives on it; the command line's
    // --windowed clears it. ALT+ENTER switches either way afterwards.
    static bool startFullScreen;

private:
    ListenerId addedToStageListener_ = 0;
};

} // namespace zindle
