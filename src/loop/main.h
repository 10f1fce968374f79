#pragma once
// Main: the one display object on the stage. Drives the board with fixed steps from the frame
// event, draws it once per frame, and routes keys and joysticks to Input and the board.
#include "base/rules.h"
#include "framework/display_object.h"
#include "framework/event_dispatcher.h"
#include "input/input_record.h"
#include "loop/frame_hooks.h"
#include "match/board.h"
#include "menu/menu_input.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <span>

namespace zindle {

class Event;
class Menu;
class KeyboardEvent;
class JoystickEvent;

class Main : public Sprite {
public:
    static constexpr double UPDATE_STEP = 1.0 / rules::kStepsPerSecond; // s, one fixed step
    static constexpr int MAX_STEPS = 30; // steps in one frame after which the schedule resyncs
    // Steps in one frame after which the loop stops whatever the clock says. A machine whose
    // step costs less than UPDATE_STEP finishes a frame within MAX_STEPS + a few steps (the
    // backlog is dropped at MAX_STEPS), so it never meets this bound; one whose step costs
    // more would otherwise never leave the loop, never draw and never see the quit key.
    static constexpr int STEP_LIMIT = 2 * MAX_STEPS + 1;

    Main();
    ~Main() override;

    void onAddedToStage(Event* e);
    void update(Event& e);
    void onKeyDown(KeyboardEvent& e);
    void onKeyUp(KeyboardEvent& e);
    void onAxisMove(JoystickEvent& e);
    void onButtonDown(JoystickEvent& e);
    void onButtonUp(JoystickEvent& e);
    // One frame given from outside (a replay): its inputs reach the game as live ones would,
    // then exactly steps steps run, then the board is drawn. The clock is not read.
    void playFrame(std::span<const InputRecord> inputs, int steps);

    // Creates the one Main and puts it on the stage.
    static void main();
    // Forgets the class-level state (tests).
    static void reset();
    // The game as it stood at start-up, its random source seeded with seed: a new Game, the
    // keys and paddles, the music and the effects' order as they were. A replay re-simulates
    // from here.
    static void restartGame(std::uint64_t seed);

    static Main* instance; // observer; the stage's root container owns it
    static std::unique_ptr<Board> board;
    static double nextUpdateTime;
    static std::uint64_t stepsTaken; // fixed steps run since start-up (measurements)
    static bool fullscreen;
    // Whether the stage goes full screen when Main arrives on it; the command line's
    // --windowed clears it. ALT+ENTER switches either way afterwards.
    static bool startFullScreen;
    // Sees every input and step that reaches the game; null: nobody looks.
    static std::unique_ptr<MatchTap> tap;
    // When set, frames come from it instead of the clock, and live input goes to it instead
    // of the game.
    static std::unique_ptr<FrameFeed> feed;
    // Laid over every frame and told of the window's keys (F12's clips); null: none.
    static std::unique_ptr<FrameOverlay> overlay;
    // The menu over the title; null: TAB, Back and the rest reach the game as any key does.
    static std::unique_ptr<Menu> menu;
    // Run once at the end of the next frame, then forgotten: what must not happen inside the
    // feed or the tap that asks for it (replacing them).
    static std::function<void()> afterFrame;

    // The game's half of an input (Input and the board); the window keys are not in it. Every
    // input reaches the game this way: live, from a replay, or from an online match's seats.
    void deliver(const InputRecord& record);
    // Input as a key or button would give it: to the feed while one runs, else to the game.
    // The menu hands the game its choices this way, so replays and peers see them.
    void input(const InputRecord& record);
    // One fixed step of the game (online play runs steps itself, several times after a
    // rollback).
    void runStep();

private:
    // The clock's frame: the steps that are due, then the drawing.
    void runFrame();
    void windowKeys(const KeyboardEvent& e);
    // Whether the menu takes this key or button (opening, moving, closing); what it takes, and
    // the release of what it took, never reaches the game.
    bool menuTakesKey(const KeyboardEvent& e);
    bool menuTakesButton(const JoystickEvent& e, bool down);
    void drawMenu();

    std::set<int> keysTakenByMenu_;
    std::set<std::pair<int, int>> buttonsTakenByMenu_; // device, button
    menu_input::SteeringSides menuSides_;

    ListenerId addedToStageListener_ = 0;
};

} // namespace zindle
