#include "app/process_state.h"
#include "loop/main.h"

#include "app/recording_board.h"
#include "framework/event.h"
#include "framework/keyboard.h"
#include "framework/lib.h"
#include "input/input.h"
#include "media/headless/headless_media.h"
#include "support/asset_folder.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zindle {
namespace {

using test::RecordingBoard;
using Call = RecordingBoard::InputCall;

constexpr double kStart = 100.0; // s on the headless clock when Main starts
constexpr double kStep = Main::UPDATE_STEP;

// A clock that moves a little on every read, as a real one does between two reads.
class TickingMedia : public HeadlessMedia {
public:
    double media_time_stamp() override {
        advance(tick);
        return now();
    }
    double tick = 0;
};

class MainTest : public ::testing::Test {
protected:
    void SetUp() override { start(std::make_unique<HeadlessMedia>()); }
    void TearDown() override { resetProcessState(); }

    void start(std::unique_ptr<HeadlessMedia> backend, bool fullScreen = true) {
        resetProcessState();
        Main::startFullScreen = fullScreen;
        media = &static_cast<HeadlessMedia&>(media_install(std::move(backend)));
        folder = std::make_unique<test::AssetFolder>();
        folder->writeStartUpData();
        media->setTime(kStart);
        Lib::create([] { Main::main(); }, 480, 320, 60.0, 0x85E3FF, Lib::HARDWARE, "test");
        ASSERT_NE(Main::instance, nullptr);
        board = new RecordingBoard;
        Main::board.reset(board);
    }

    void frame() {
        Event enterFrame(Event::ENTER_FRAME);
        Main::instance->update(enterFrame);
    }

    void key(int type, int code, int flags = 0) {
        MediaEvent record;
        record.type = type;
        record.code = code;
        record.flags = flags;
        record.target = static_cast<int>(stageObject(media->stage()));
        media->send(record);
    }

    void joystick(int type, int device, int code, int value = 0) {
        MediaEvent record;
        record.type = type;
        record.device = device;
        record.code = code;
        record.value = value;
        media->send(record);
    }

    HeadlessMedia* media = nullptr;
    RecordingBoard* board = nullptr; // owned by Main::board
    std::unique_ptr<test::AssetFolder> folder;
};

TEST_F(MainTest, StartsFullScreenStretchedWithoutPointer) {
    EXPECT_EQ(media->displayState(), StageDisplayState::FULL_SCREEN);
    EXPECT_EQ(media->scaleMode(), StageScaleMode::EXACT_FIT);
    EXPECT_FALSE(media->cursorShown());
    EXPECT_TRUE(Main::fullscreen);
    EXPECT_EQ(Main::nextUpdateTime, kStart);
    EXPECT_EQ(Lib::current().numChildren(), 1u);
    EXPECT_EQ(Input::paddles.size(), 4u);
}

TEST_F(MainTest, FramesDriveTheBoardThroughTheStage) {
    media->setTime(kStart + 1.0 / 60);
    Lib::stage().mediaRender(true);
    EXPECT_NEAR(board->updates, 5, 1);
    EXPECT_EQ(board->draws, 1);
    EXPECT_EQ(board->lastDt, kStep);
}

TEST_F(MainTest, ALateFrameDropsTheBacklogAfterThirtySteps) {
    media->setTime(kStart + 0.5);
    frame();
    EXPECT_EQ(board->updates, Main::MAX_STEPS);
    EXPECT_EQ(Main::stepsTaken, static_cast<std::uint64_t>(Main::MAX_STEPS));
    EXPECT_EQ(board->draws, 1);
    EXPECT_EQ(Main::nextUpdateTime, kStart + 0.5);
    // The next frame on time runs the usual five steps, not the dropped backlog.
    media->setTime(kStart + 0.5 + 1.0 / 60);
    frame();
    EXPECT_NEAR(board->updates, Main::MAX_STEPS + 5, 1);
}

TEST_F(MainTest, AnEarlyFrameRunsNoStepButDraws) {
    media->setTime(kStart + 0.5 * kStep);
    frame();
    frame();
    EXPECT_EQ(board->updates, 1);
    media->setTime(kStart);
    Main::nextUpdateTime = kStart + kStep;
    frame();
    EXPECT_EQ(board->updates, 1);
    EXPECT_EQ(board->draws, 3);
}

// The loop as the fixed-step rule states it, with no further bound, on a clock that moves
// `tick` per read and `cost` per step. -1 when it would never end.
int unboundedSteps(double clock, double next, double cost, double tick) {
    int steps = 0;
    auto read = [&] { return clock += tick; };
    while (read() > next) {
        clock += cost;
        next += kStep;
        if (++steps == Main::MAX_STEPS) {
            const double now = read();
            if (now >= next)
                next = now;
        }
        if (steps > 100000)
            return -1;
    }
    return steps;
}

TEST_F(MainTest, AMachineThatKeepsUpNeverMeetsTheStepLimit) {
    const double tick = 1e-7; // s per clock read
    for (double cost : {0.0, 0.5 * kStep, 0.9 * kStep, 0.99 * kStep}) {
        for (double late : {1.0 / 60, 0.05, 0.1, 0.5, 3.0}) {
            auto backend = std::make_unique<TickingMedia>();
            TickingMedia& ticking = *backend;
            start(std::move(backend));
            ticking.tick = tick;
            board->onUpdate = [&ticking, cost] { ticking.advance(cost); };
            const double next = Main::nextUpdateTime;
            ticking.setTime(next + late);
            const int expected = unboundedSteps(next + late, next, cost, tick);
            ASSERT_GT(expected, 0);
            frame();
            EXPECT_EQ(board->updates, expected) << "cost " << cost << " late " << late;
            EXPECT_LE(board->updates, Main::MAX_STEPS + 1);
        }
    }
}

TEST_F(MainTest, StepsSlowerThanRealTimeStillLetTheFrameEnd) {
    auto backend = std::make_unique<TickingMedia>();
    TickingMedia& ticking = *backend;
    start(std::move(backend));
    ticking.tick = 1e-7;
    board->onUpdate = [&ticking] { ticking.advance(1.5 * kStep); };
    ASSERT_EQ(unboundedSteps(kStart + 1.0 / 60, Main::nextUpdateTime, 1.5 * kStep, 1e-7), -1);
    ticking.setTime(kStart + 1.0 / 60);
    frame();
    EXPECT_EQ(board->updates, 2 * Main::MAX_STEPS + 1);
    EXPECT_EQ(board->draws, 1);
    // The backlog is dropped, so each later frame is bounded the same way.
    EXPECT_NEAR(Main::nextUpdateTime, ticking.now(), 1e-6);
    frame();
    EXPECT_EQ(board->updates, 2 * (2 * Main::MAX_STEPS + 1));
}

TEST_F(MainTest, KeysReachInputAndTheBoard) {
    key(MediaEventType::KEY_DOWN, 'Q', Stage::efCtrlDown);
    EXPECT_TRUE(Input::getKeyState(Input::P2LEFT));
    key(MediaEventType::KEY_UP, 'q');
    EXPECT_FALSE(Input::getKeyState(Input::P2LEFT));
    key(MediaEventType::KEY_DOWN, Keyboard::A);
    EXPECT_EQ(board->inputs, (std::vector<Call>{{0, Input::P2LEFT, Input::DOWN, true},
                                                {0, Input::P2LEFT, Input::UP, false},
                                                {0, Input::NONE, Input::DOWN, false}}));
}

TEST_F(MainTest, AltEnterTogglesFullScreen) {
    key(MediaEventType::KEY_DOWN, Keyboard::ENTER, Stage::efAltDown);
    EXPECT_FALSE(Main::fullscreen);
    EXPECT_EQ(media->displayState(), StageDisplayState::NORMAL);
    key(MediaEventType::KEY_UP, Keyboard::ENTER, Stage::efAltDown);
    key(MediaEventType::KEY_DOWN, Keyboard::ENTER);
    EXPECT_EQ(media->displayState(), StageDisplayState::NORMAL);
    key(MediaEventType::KEY_DOWN, Keyboard::ENTER, Stage::efAltDown);
    EXPECT_TRUE(Main::fullscreen);
    EXPECT_EQ(media->displayState(), StageDisplayState::FULL_SCREEN);
}

TEST_F(MainTest, AWindowedStartStaysInTheWindowUntilAltEnter) {
    start(std::make_unique<HeadlessMedia>(), false);
    EXPECT_EQ(media->displayState(), StageDisplayState::NORMAL);
    EXPECT_FALSE(Main::fullscreen);
    EXPECT_EQ(media->scaleMode(), StageScaleMode::EXACT_FIT);
    key(MediaEventType::KEY_DOWN, Keyboard::ENTER, Stage::efAltDown);
    EXPECT_TRUE(Main::fullscreen);
    EXPECT_EQ(media->displayState(), StageDisplayState::FULL_SCREEN);
    Main::reset();
    EXPECT_TRUE(Main::startFullScreen) << "a reset forgets the command line";
}

TEST_F(MainTest, AltF4ClosesAfterTheBoardSawTheKey) {
    bool closedWhenSeen = true;
    board->onInputHook = [&] { closedWhenSeen = media->closed(); };
    key(MediaEventType::KEY_DOWN, Keyboard::F4);
    EXPECT_FALSE(media->closed());
    key(MediaEventType::KEY_DOWN, Keyboard::F4, Stage::efAltDown);
    EXPECT_FALSE(closedWhenSeen);
    EXPECT_TRUE(media->closed());
    EXPECT_EQ(board->inputs.size(), 2u);
}

TEST_F(MainTest, JoystickButtonsJoinAndAxesSteer) {
    // Buttons 0 and 7 of joystick n are player n + 1's START; other buttons and devices beyond
    // the four players join nobody.
    const int starts[] = {Input::P1START, Input::P2START, Input::P3START, Input::P4START};
    std::vector<Call> expected;
    for (int device = 0; device < 4; ++device) {
        joystick(MediaEventType::JOY_BUTTON_DOWN, device, 0);
        joystick(MediaEventType::JOY_BUTTON_UP, device, 7);
        joystick(MediaEventType::JOY_BUTTON_DOWN, device, 3);
        expected.push_back({device, starts[device], Input::DOWN, false});
        expected.push_back({device, starts[device], Input::UP, false});
    }
    joystick(MediaEventType::JOY_BUTTON_DOWN, 5, 0);
    expected.push_back({5, 0, Input::DOWN, false});
    EXPECT_EQ(board->inputs, expected);
    EXPECT_FALSE(Input::getKeyState(Input::P2START));

    joystick(MediaEventType::JOY_AXIS, 1, 0, -32768);
    EXPECT_EQ(Input::paddles[1].pad, -1);
    joystick(MediaEventType::JOY_AXIS, 9, 0, 32767);
    for (const Paddle& p : Input::paddles)
        EXPECT_NE(p.pad, 1);
}

TEST_F(MainTest, NoBoardMeansButtonsAndFramesDoNothing) {
    Main::board.reset();
    board = nullptr;
    joystick(MediaEventType::JOY_BUTTON_DOWN, 0, 0);
    key(MediaEventType::KEY_DOWN, Keyboard::SPACE);
    EXPECT_TRUE(Input::getKeyState(Input::P1START));
    media->setTime(kStart + 1);
    frame();
    EXPECT_GT(Main::nextUpdateTime, kStart);
}

} // namespace
} // namespace zindle

namespace zindle {
namespace {

// Records what a tap sees, and stands in for a replay as a feed.
struct SeenByTap : MatchTap {
    void input(const InputRecord& record) override { inputs->push_back(record); }
    void stepped() override { ++*steps; }
    void frameEnded(int steps) override { frames->push_back(steps); }
    std::vector<InputRecord>* inputs;
    int* steps;
    std::vector<int>* frames;
};

struct RecordedFrames : FrameFeed {
    void enterFrame(Main& main) override {
        const InputRecord join{0, 32, 0, InputRecord::Kind::KeyDown, 0};
        main.playFrame(std::span(&join, 1), 7);
    }
    void input(const InputRecord& record) override {
        if (record.kind == InputRecord::Kind::KeyDown || record.kind == InputRecord::Kind::KeyUp)
            keys->push_back(record.kind == InputRecord::Kind::KeyDown ? record.code : -record.code);
    }
    std::vector<int>* keys;
};

TEST_F(MainTest, TheTapSeesEveryInputAsTheGameGetsItAndEveryFramesSteps) {
    std::vector<InputRecord> inputs;
    int steps = 0;
    std::vector<int> frames;
    auto tap = std::make_unique<SeenByTap>();
    tap->inputs = &inputs;
    tap->steps = &steps;
    tap->frames = &frames;
    Main::tap = std::move(tap);
    key(MediaEventType::KEY_DOWN, 50, Stage::efCtrlDown | Stage::efShiftDown);
    joystick(MediaEventType::JOY_AXIS, 1, 0, -32768);
    joystick(MediaEventType::JOY_BUTTON_DOWN, 1, 7);
    joystick(MediaEventType::JOY_BUTTON_DOWN, 1, 3); // does nothing in the game: not recorded
    media->setTime(kStart + 1.0 / 60);
    frame();
    ASSERT_EQ(inputs.size(), 3u);
    EXPECT_EQ(inputs[0].kind, InputRecord::Kind::KeyDown);
    EXPECT_EQ(inputs[0].code, 50);
    EXPECT_EQ(inputs[0].modifiers, InputRecord::kCtrl | InputRecord::kShift);
    EXPECT_EQ(inputs[1].kind, InputRecord::Kind::Axis);
    EXPECT_EQ(inputs[1].value, -1.0);
    EXPECT_EQ(inputs[2].kind, InputRecord::Kind::ButtonDown);
    EXPECT_EQ(inputs[2].button, 7);
    EXPECT_EQ(steps, board->updates);
    EXPECT_EQ(frames, std::vector<int>{board->updates});
}

TEST_F(MainTest, AFeedRunsItsFramesAndLiveKeysNeverReachTheGame) {
    std::vector<int> keys;
    auto feed = std::make_unique<RecordedFrames>();
    feed->keys = &keys;
    Main::feed = std::move(feed);
    key(MediaEventType::KEY_DOWN, 32);
    key(MediaEventType::KEY_UP, 32);
    joystick(MediaEventType::JOY_BUTTON_DOWN, 0, 0);
    EXPECT_TRUE(board->inputs.empty());
    EXPECT_EQ(keys, (std::vector<int>{32, -32}));
    // The clock says a whole second has passed; the feed's frame runs its own seven steps.
    media->setTime(kStart + 1);
    frame();
    EXPECT_EQ(board->updates, 7);
    EXPECT_EQ(board->draws, 1);
    EXPECT_EQ(board->inputs, (std::vector<Call>{{0, Input::P1START, Input::DOWN, false}}));
}

} // namespace
} // namespace zindle
