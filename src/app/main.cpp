// Main: the one display object on the stage. The game advances in fixed steps of 1/300 s of
// real time, however fast frames come, and is drawn once per frame; keys and joysticks are
// turned into Input state and board input between frames.
#include "app/main.h"

#include "framework/event.h"
#include "framework/joystick_event.h"
#include "framework/keyboard.h"
#include "framework/keyboard_event.h"
#include "framework/lib.h"
#include "framework/stage.h"
#include "input/input.h"
#include "input/pad_layout.h"
#include "match/game.h"
#include "match/rules.h"
#include "sound/beeper.h"
#include "sound/music.h"

#include <array>
#include <functional>

namespace zindle {

namespace {

// Steps in one frame after which the loop stops whatever the clock says. A machine whose step
// costs less than UPDATE_STEP finishes a frame within MAX_STEPS + a few steps (the backlog is
// dropped at MAX_STEPS), so it never meets this bound; one whose step costs more would
// otherwise never leave the loop, never draw and never see the quit key.
constexpr int kStepLimit = 2 * Main::MAX_STEPS + 1;

// The START key of each joystick device that has a player; other devices pass 0, which the
// game ignores.
constexpr std::array<int, rules::kPlayers> kJoystickStartKeys{Input::P1START, Input::P2START,
                                                              Input::P3START, Input::P4START};
constexpr int kUnplayedDeviceKey = 0;

int joystickStartKey(int device) {
    if (device >= 0 && static_cast<std::size_t>(device) < kJoystickStartKeys.size())
        return kJoystickStartKeys[static_cast<std::size_t>(device)];
    return kUnplayedDeviceKey;
}

} // namespace

Main* Main::instance = nullptr;
std::unique_ptr<Board> Main::board;
double Main::nextUpdateTime = 0;
std::uint64_t Main::stepsTaken = 0;
bool Main::fullscreen = false;
bool Main::startFullScreen = true;

Main::Main() {
    instance = this;
    Mouse::hide();
    Input::init();
    Music::init();
    Beeper::init();
    if (stage())
        onAddedToStage(nullptr);
    else
        addedToStageListener_ =
            addEventListener(Event::ADDED_TO_STAGE, [this](Event& e) { onAddedToStage(&e); });
}

Main::~Main() {
    if (instance == this)
        instance = nullptr;
}

void Main::onAddedToStage(Event* e) {
    if (e)
        removeEventListener(Event::ADDED_TO_STAGE, addedToStageListener_);
    Stage& theStage = *stage();
    theStage.setScaleMode(StageScaleMode::EXACT_FIT);
    theStage.setDisplayState(startFullScreen ? StageDisplayState::FULL_SCREEN
                                             : StageDisplayState::NORMAL);
    fullscreen = startFullScreen;

    addEventListener(Event::ENTER_FRAME, [this](Event& event) { update(event); });
    // The stage outlives no Main in practice, but a listener must not reach a Main that is gone
    // (tests make several): each one checks that its Main is still the one.
    theStage.addEventListener<KeyboardEvent>(KeyboardEvent::KEY_DOWN, [this](KeyboardEvent& k) {
        if (instance == this)
            onKeyDown(k);
    });
    theStage.addEventListener<KeyboardEvent>(KeyboardEvent::KEY_UP, [this](KeyboardEvent& k) {
        if (instance == this)
            onKeyUp(k);
    });
    theStage.addEventListener<JoystickEvent>(JoystickEvent::AXIS_MOVE, [this](JoystickEvent& j) {
        if (instance == this)
            onAxisMove(j);
    });
    theStage.addEventListener<JoystickEvent>(JoystickEvent::BUTTON_DOWN, [this](JoystickEvent& j) {
        if (instance == this)
            onButtonDown(j);
    });
    theStage.addEventListener<JoystickEvent>(JoystickEvent::BUTTON_UP, [this](JoystickEvent& j) {
        if (instance == this)
            onButtonUp(j);
    });

    // The clock starts after the screen's data has loaded, so loading time is not owed as steps.
    Game::init();
    nextUpdateTime = Timer::stamp();
    board = std::make_unique<Game>();
}

void Main::update(Event& /*e*/) {
    int steps = 0;
    // The clock is read afresh for every test, so time spent in the steps is owed as well.
    while (Timer::stamp() > nextUpdateTime) {
        Input::update(UPDATE_STEP);
        Music::update(UPDATE_STEP);
        if (board)
            board->update(UPDATE_STEP);
        nextUpdateTime += UPDATE_STEP;
        ++steps;
        ++stepsTaken;
        // After a stall the backlog is dropped rather than worked off: game time lags the clock
        // by the stall instead of racing to catch up.
        if (steps == MAX_STEPS || steps == kStepLimit) {
            const double now = Timer::stamp();
            if (now >= nextUpdateTime)
                nextUpdateTime = now;
        }
        if (steps == kStepLimit)
            break;
    }
    if (board)
        board->draw(graphics());
}

void Main::onKeyDown(KeyboardEvent& e) {
    const int key = Input::translateKey(e.keyCode);
    Input::setKeyState(key, true);
    if (board)
        board->onInput(0, key, Input::DOWN, e.ctrlKey);
    // The window keys test the raw code, after the board has seen the key.
    if (e.keyCode == Keyboard::F4 && e.altKey)
        System::exit(0);
    if (e.keyCode == Keyboard::ENTER && e.altKey) {
        fullscreen = !fullscreen;
        stage()->setDisplayState(fullscreen ? StageDisplayState::FULL_SCREEN
                                            : StageDisplayState::NORMAL);
    }
}

void Main::onKeyUp(KeyboardEvent& e) {
    const int key = Input::translateKey(e.keyCode);
    Input::setKeyState(key, false);
    if (board)
        board->onInput(0, key, Input::UP, e.ctrlKey);
}

void Main::onAxisMove(JoystickEvent& e) {
    // Every axis steers: the event carries the joystick's first axis as x whatever moved.
    Input::setPad(e.x, e.device);
}

void Main::onButtonDown(JoystickEvent& e) {
    // A joystick only steers through its axis; its buttons only join, and never reach Input.
    if (!board || !pad_layout::joins(e.id))
        return;
    board->onInput(e.device, joystickStartKey(e.device), Input::DOWN, false);
}

void Main::onButtonUp(JoystickEvent& e) {
    if (!board || !pad_layout::joins(e.id))
        return;
    board->onInput(e.device, joystickStartKey(e.device), Input::UP, false);
}

void Main::main() {
    Lib::current().addChild(std::make_unique<Main>());
}

void Main::reset() {
    instance = nullptr;
    board.reset();
    nextUpdateTime = 0;
    stepsTaken = 0;
    fullscreen = false;
    startFullScreen = true;
}

} // namespace zindle
