// Main: the one display object on the stage. The game advances in fixed steps of 1/300 s of
// real time, however fast frames come, and is drawn once per frame; keys and joysticks are
// turned into Input state and board input between frames.
#include "loop/main.h"

#include "base/rules.h"
#include "framework/event.h"
#include "framework/joystick_event.h"
#include "framework/keyboard.h"
#include "framework/keyboard_event.h"
#include "framework/lib.h"
#include "framework/random.h"
#include "framework/stage.h"
#include "input/input.h"
#include "input/key_remap.h"
#include "input/pad_layout.h"
#include "match/game.h"
#include "menu/menu.h"
#include "render/tiler.h"
#include "sound/beeper.h"
#include "sound/music.h"

#include <array>
#include <functional>

namespace zindle {

namespace {

constexpr int kStepLimit = Main::STEP_LIMIT;

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

InputRecord keyRecord(const KeyboardEvent& e, bool down) {
    InputRecord record;
    record.kind = down ? InputRecord::Kind::KeyDown : InputRecord::Kind::KeyUp;
    // Chosen keys are recorded and played as the shipped ones (replays and peers rely on it).
    record.code = KeyRemap::canonical(e.keyCode);
    record.modifiers = static_cast<std::uint8_t>((e.ctrlKey ? InputRecord::kCtrl : 0) |
                                                 (e.altKey ? InputRecord::kAlt : 0) |
                                                 (e.shiftKey ? InputRecord::kShift : 0));
    return record;
}

InputRecord joystickRecord(const JoystickEvent& e, InputRecord::Kind kind) {
    InputRecord record;
    record.kind = kind;
    record.code = e.device;
    record.button = static_cast<std::int16_t>(e.id);
    record.value = kind == InputRecord::Kind::Axis ? e.x : 0;
    return record;
}

} // namespace

Main* Main::instance = nullptr;
std::unique_ptr<Board> Main::board;
double Main::nextUpdateTime = 0;
std::uint64_t Main::stepsTaken = 0;
bool Main::fullscreen = false;
bool Main::startFullScreen = true;
std::unique_ptr<MatchTap> Main::tap;
std::unique_ptr<FrameFeed> Main::feed;
std::unique_ptr<FrameOverlay> Main::overlay;
std::unique_ptr<Menu> Main::menu;
std::function<void()> Main::afterFrame;

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
    if (feed)
        feed->enterFrame(*this);
    else
        runFrame();
    drawMenu();
    if (overlay)
        overlay->frameDrawn(graphics());
    if (afterFrame) {
        const auto run = std::move(afterFrame);
        afterFrame = nullptr;
        run();
    }
}

void Main::drawMenu() {
    if (!menu || !menu->isOpen() || !Game::tiler)
        return;
    menu->refresh();
    if (menu->isOpen())
        Game::tiler->drawOnScreen(graphics(), [](Tiler& tiler) { menu->draw(tiler); });
}

void Main::runFrame() {
    int steps = 0;
    // The clock is read afresh for every test, so time spent in the steps is owed as well.
    while (Timer::stamp() > nextUpdateTime) {
        runStep();
        nextUpdateTime += UPDATE_STEP;
        ++steps;
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
    if (tap)
        tap->frameEnded(steps);
    if (board) {
        const DrawingRandom drawingRandom;
        board->draw(graphics());
    }
    if (tap)
        tap->frameDrawn();
}

void Main::playFrame(std::span<const InputRecord> inputs, int steps) {
    for (const InputRecord& record : inputs)
        deliver(record);
    for (int i = 0; i < steps; ++i)
        runStep();
    if (tap)
        tap->frameEnded(steps);
    if (board) {
        const DrawingRandom drawingRandom;
        board->draw(graphics());
    }
    if (tap)
        tap->frameDrawn();
}

void Main::runStep() {
    Input::update(UPDATE_STEP);
    Music::update(UPDATE_STEP);
    if (board)
        board->update(UPDATE_STEP);
    ++stepsTaken;
    if (tap)
        tap->stepped();
}

void Main::deliver(const InputRecord& record) {
    if (tap)
        tap->input(record);
    using Kind = InputRecord::Kind;
    switch (record.kind) {
    case Kind::KeyDown:
    case Kind::KeyUp: {
        const bool down = record.kind == Kind::KeyDown;
        const int key = Input::translateKey(record.code);
        Input::setKeyState(key, down);
        if (board)
            board->onInput(0, key, down ? Input::DOWN : Input::UP,
                           (record.modifiers & InputRecord::kCtrl) != 0);
        break;
    }
    case Kind::Axis:
        // Every axis steers: the event carries the joystick's first axis as x whatever moved.
        Input::setPad(record.value, record.code);
        break;
    case Kind::ButtonDown:
    case Kind::ButtonUp:
        // A joystick only steers through its axis; its buttons only join, and never reach
        // Input.
        if (board && pad_layout::joins(record.button))
            board->onInput(record.code, joystickStartKey(record.code),
                           record.kind == Kind::ButtonDown ? Input::DOWN : Input::UP, false);
        break;
    }
}

void Main::input(const InputRecord& record) {
    if (feed)
        feed->input(record);
    else
        deliver(record);
}

void Main::onKeyDown(KeyboardEvent& e) {
    // A clip copies the recording as it stands: F12 itself must not be in it yet, or the copy
    // ends with an input that belongs to no frame.
    if (overlay)
        overlay->windowKey(e.keyCode, e.altKey);
    if (!menuTakesKey(e))
        input(keyRecord(e, true));
    windowKeys(e);
}

bool Main::menuTakesKey(const KeyboardEvent& e) {
    // ALT's chords stay the window's, and CTRL's the game's, open menu or not.
    if (!menu || e.altKey || e.ctrlKey)
        return false;
    if (!menu->isOpen()) {
        if (!menu_input::togglesMenu(e.keyCode))
            return false;
        menu->open();
    } else if (menu->takeKey(e.keyCode)) {
        // A page waiting for a key (a player's new one) took it, whatever key it was.
    } else if (menu_input::togglesMenu(e.keyCode)) {
        menu->close();
    } else if (const auto c = menu_input::typedCharacter(e.keyCode); !c || !menu->type(*c)) {
        if (const auto command = menu_input::keyCommand(e.keyCode))
            menu->command(*command);
    }
    // Every other key is swallowed too: the game behind an open menu is not played.
    keysTakenByMenu_.insert(e.keyCode);
    return true;
}

void Main::windowKeys(const KeyboardEvent& e) {
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
    if (keysTakenByMenu_.erase(e.keyCode) == 0)
        input(keyRecord(e, false));
}

void Main::onAxisMove(JoystickEvent& e) {
    if (menu && menu->isOpen()) {
        if (const auto command = menuSides_.moved(e.device, static_cast<int>(e.x)))
            menu->command(*command);
        return;
    }
    input(joystickRecord(e, InputRecord::Kind::Axis));
}

bool Main::menuTakesButton(const JoystickEvent& e, bool down) {
    const std::pair<int, int> button{e.device, e.id};
    if (!down)
        return buttonsTakenByMenu_.erase(button) > 0;
    if (!menu)
        return false;
    if (menu_input::buttonTogglesMenu(e.id)) {
        if (menu->isOpen())
            menu->close();
        else
            menu->open();
    } else if (!menu->isOpen()) {
        return false;
    } else if (const auto command = menu_input::buttonCommand(e.id)) {
        menu->command(*command);
    }
    buttonsTakenByMenu_.insert(button);
    return true;
}

// Other buttons do nothing in the game, so they are not even recorded.
void Main::onButtonDown(JoystickEvent& e) {
    if (overlay)
        overlay->padButton(e.id);
    if (menuTakesButton(e, true) || !pad_layout::joins(e.id))
        return;
    input(joystickRecord(e, InputRecord::Kind::ButtonDown));
}

void Main::onButtonUp(JoystickEvent& e) {
    if (menuTakesButton(e, false) || !pad_layout::joins(e.id))
        return;
    input(joystickRecord(e, InputRecord::Kind::ButtonUp));
}

void Main::main() {
    Lib::current().addChild(std::make_unique<Main>());
}

void Main::restartGame(std::uint64_t seed) {
    Music::stop();
    Music::init();
    Beeper::restoreOrder();
    Input::init();
    // The old game goes first: nothing of it may draw a number from the new stream.
    board.reset();
    seedRandom(seed);
    board = std::make_unique<Game>();
}

void Main::reset() {
    instance = nullptr;
    board.reset();
    nextUpdateTime = 0;
    stepsTaken = 0;
    fullscreen = false;
    startFullScreen = true;
    tap.reset();
    feed.reset();
    overlay.reset();
    menu.reset();
    afterFrame = nullptr;
}

} // namespace zindle
