// The whole program on the SDL layer, steered by SDL's virtual joysticks: the real start-up, the
// real assets and the real event loop, with a script that runs once per frame (a listener on the
// root clip, which hears each frame before Main steps the game) and ends the program itself.
#include "sdl_test_support.h"

#include "actors/hero.h"
#include "app/application_main.h"
#include "app/process_state.h"
#include "framework/assets.h"
#include "framework/event.h"
#include "framework/lib.h"
#include "framework/random.h"
#include "input/input.h"
#include "loop/main.h"
#include "match/game.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace zindle {
namespace {

// Frames a scripted step may wait for its condition (2 s at 60 frames per second): far more than
// any step needs, even under the sanitizers, yet it ends a broken run long before ctest would.
constexpr int kStepFrameBudget = 120;
// ms: if no frame ever comes, a quit request ends the loop after this.
constexpr Uint32 kWatchdogMs = 9000;
constexpr Sint16 kFullRight = 32767;
constexpr Sint16 kFullLeft = -32768;
constexpr int kButtonA = 0;
constexpr int kOddStart = test::OddPad::kStart;
constexpr int kOddStick = test::OddPad::kStick;
constexpr int kPadAxes = 2;
constexpr int kPadButtons = 8;
// Steering output that a held stick must pass: about 20 steps of ramping, a few frames.
constexpr double kSteered = 0.3;
constexpr std::uint64_t kSeed = 20261207;

Uint32 quitWhenOverdue(Uint32 /*interval*/, void* fired) {
    static_cast<std::atomic<bool>*>(fired)->store(true);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    return 0;
}

bool hasHero(int player) {
    const auto* game = dynamic_cast<const Game*>(Main::board.get());
    if (game == nullptr)
        return false;
    for (const auto& hero : game->heroes) {
        if (hero->player == player)
            return true;
    }
    return false;
}

const Paddle& paddle(int index) {
    return Input::paddles.at(static_cast<std::size_t>(index));
}

class GameJoystickTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetProcessState();
        media = &test::freshMedia();
        Assets::setSearchRoots({std::filesystem::path(ZINDLE_ASSETS_DIR).parent_path()});
        seedRandom(kSeed);
    }
    void TearDown() override { resetProcessState(); }

    // One step of the script: run each frame until it returns true.
    struct Step {
        std::string name;
        std::function<bool()> done;
    };
    // An action that needs only one frame.
    static Step act(std::string name, std::function<void()> action) {
        return {std::move(name), [action = std::move(action)] {
                    action();
                    return true;
                }};
    }

    // Runs the program with the script; the script closes it after its last step, or at the
    // first step that overruns its budget.
    int runProgram(std::vector<Step> script) {
        std::size_t at = 0;
        int framesInStep = 0;
        Lib::current().addEventListener(Event::ENTER_FRAME, [&](Event&) {
            if (at == script.size())
                return;
            if (script[at].done()) {
                ++at;
                framesInStep = 0;
            } else if (++framesInStep > kStepFrameBudget) {
                ADD_FAILURE() << "stuck at: " << script[at].name;
                at = script.size();
            }
            if (at == script.size())
                Lib::close();
        });
        std::atomic<bool> overdue = false;
        const SDL_TimerID watchdog = SDL_AddTimer(kWatchdogMs, quitWhenOverdue, &overdue);
        const int status = ApplicationMain::run();
        SDL_RemoveTimer(watchdog);
        EXPECT_FALSE(overdue.load()) << "no frames came";
        EXPECT_EQ(at, script.size()) << "the program ended before the script";
        return status;
    }

    // A joystick with a stick and eight buttons that SDL has no mapping for, as a player plugs
    // one in: read raw. Returns its instance id; the program opens it when the event loop sees
    // it arrive.
    static SDL_JoystickID plugIn() {
        const int index =
            SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_UNKNOWN, kPadAxes, kPadButtons, 0);
        EXPECT_GE(index, 0) << SDL_GetError();
        return SDL_JoystickGetDeviceInstanceID(index);
    }
    // A pad whose raw layout is unlike the raw reading's (Start on button 9, the stick on axis
    // 2, a D-pad), with a mapping SDL applies: read in the standard layout.
    static SDL_JoystickID plugInMappedPad() {
        const int index = test::OddPad::attach();
        EXPECT_GE(index, 0) << SDL_GetError();
        EXPECT_GE(SDL_GameControllerAddMapping(test::OddPad::mapping(index).c_str()), 0)
            << SDL_GetError();
        return SDL_JoystickGetDeviceInstanceID(index);
    }
    static void unplug(SDL_JoystickID id) {
        for (int i = 0; i < SDL_NumJoysticks(); ++i) {
            if (SDL_JoystickGetDeviceInstanceID(i) == id)
                SDL_JoystickDetachVirtual(i);
        }
    }
    // Open (by the program) while it is plugged in; null once the program has let it go.
    static SDL_Joystick* opened(SDL_JoystickID id) { return SDL_JoystickFromInstanceID(id); }
    static void tilt(SDL_JoystickID id, Sint16 value, int axis = 0) {
        SDL_JoystickSetVirtualAxis(opened(id), axis, value);
    }
    static void padPush(SDL_JoystickID id, Uint8 hat) {
        SDL_JoystickSetVirtualHat(opened(id), 0, hat);
    }
    static void press(SDL_JoystickID id, int button, bool down) {
        SDL_JoystickSetVirtualButton(opened(id), button, down ? SDL_PRESSED : SDL_RELEASED);
    }

    SdlMedia* media = nullptr;
};

TEST_F(GameJoystickTest, RawAndMappedPadsJoinAndSteerTheirOwnPlayersWhilePadsComeAndGo) {
    SDL_JoystickID first = -1;
    SDL_JoystickID second = -1;
    SDL_JoystickID third = -1;
    std::vector<Step> script{
        act("plug in the first pad", [&] { first = plugIn(); }),
        {"the first pad is opened", [&] { return opened(first) != nullptr; }},
        act("press A on the first pad", [&] { press(first, kButtonA, true); }),
        {"player 1 joins", [&] { return hasHero(0); }},
        act("release A, tilt the first stick right",
            [&] {
                press(first, kButtonA, false);
                tilt(first, kFullRight);
            }),
        {"the stick reaches paddle 1", [&] { return paddle(0).pad == 1.0; }},
        {"paddle 1 steers right", [&] { return paddle(0).getValue() > kSteered; }},

        act("plug in a mapped pad of another layout mid-match",
            [&] { second = plugInMappedPad(); }),
        {"the second pad is opened", [&] { return opened(second) != nullptr; }},
        act("press its raw button 7, which is not its Start", [&] { press(second, 7, true); }),
        act("release it", [&] { press(second, 7, false); }),
        {"nobody joins", [&] { return !hasHero(1); }},
        act("press START on the second pad", [&] { press(second, kOddStart, true); }),
        {"player 2 joins", [&] { return hasHero(1); }},
        act("release START, tilt the second stick left",
            [&] {
                press(second, kOddStart, false);
                tilt(second, kFullLeft, kOddStick);
            }),
        {"the second stick reaches paddle 2 only",
         [&] { return paddle(1).pad == -1.0 && paddle(0).pad == 1.0; }},
        act("centre the second stick, push its D-pad right",
            [&] {
                tilt(second, 0, kOddStick);
                padPush(second, SDL_HAT_RIGHT);
            }),
        {"the D-pad steers paddle 2 right",
         [&] { return paddle(1).pad == 1.0 && paddle(1).getValue() > kSteered; }},
        act("let go of the D-pad", [&] { padPush(second, SDL_HAT_CENTERED); }),
        {"paddle 2 is back at the stick's centre", [&] { return paddle(1).pad == 0.0; }},

        act("unplug the second pad", [&] { unplug(second); }),
        {"the program lets it go", [&] { return opened(second) == nullptr; }},
        act("tilt the first stick left", [&] { tilt(first, kFullLeft); }),
        {"the first pad still steers paddle 1",
         [&] { return paddle(0).pad == -1.0 && paddle(0).getValue() < -kSteered; }},

        act("plug in a third pad, mapped", [&] { third = plugInMappedPad(); }),
        {"the third pad is opened", [&] { return opened(third) != nullptr; }},
        act("push the third pad's D-pad left", [&] { padPush(third, SDL_HAT_LEFT); }),
        {"it takes the free seat of player 2", [&] { return paddle(1).pad == -1.0; }},
        act("centre the first stick", [&] { tilt(first, 0); }),
        {"the first pad still steers paddle 1", [&] { return paddle(0).pad == 0.0; }},

        act("unplug both pads",
            [&] {
                unplug(third);
                unplug(first);
            }),
        {"the program lets them go",
         [&] { return opened(first) == nullptr && opened(third) == nullptr; }},
    };

    EXPECT_EQ(runProgram(std::move(script)), 0);
    EXPECT_FALSE(media->windowOpen());
    EXPECT_TRUE(hasHero(0));
    EXPECT_TRUE(hasHero(1));
    EXPECT_FALSE(hasHero(2));
}

} // namespace
} // namespace zindle
