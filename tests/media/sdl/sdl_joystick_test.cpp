#include "sdl_test_support.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <map>

namespace zindle {
namespace {

using test::freshMedia;
using test::runWindow;

// Virtual pads, attached and detached as a player would plug real ones in and out.
class SdlJoystickTest : public ::testing::Test {
protected:
    // Attaches a pad and returns its instance id (SDL announces it with its device index).
    SDL_JoystickID attach() {
        const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 8, 0);
        EXPECT_GE(index, 0) << SDL_GetError();
        const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(index);
        media->processPendingEvents();
        return id;
    }
    void detach(SDL_JoystickID id) {
        for (int i = 0; i < SDL_NumJoysticks(); ++i) {
            if (SDL_JoystickGetDeviceInstanceID(i) == id)
                SDL_JoystickDetachVirtual(i);
        }
        media->processPendingEvents();
    }
    // Moves axis 0 of a pad to value and returns the device number the record carried.
    int deviceOf(SDL_JoystickID id, Sint16 value) {
        records.clear();
        SDL_JoystickSetVirtualAxis(SDL_JoystickFromInstanceID(id), 0, value);
        media->processPendingEvents();
        if (records.empty())
            return -1;
        EXPECT_EQ(records.back().type, MediaEventType::JOY_AXIS);
        EXPECT_EQ(records.back().value, value);
        return records.back().device;
    }

    void run(const std::function<void()>& body) {
        media = &freshMedia();
        runWindow(
            *media,
            [&](StageHandle) {
                body();
                media->media_close();
            },
            [&](MediaEvent& r) {
                if (r.type != MediaEventType::POLL)
                    records.push_back(r);
            });
    }

    SdlMedia* media = nullptr;
    std::vector<MediaEvent> records;
};

TEST_F(SdlJoystickTest, NumbersStayWhileConnectedAndTheLowestFreeIsReused) {
    run([&] {
        const auto a = attach();
        const auto b = attach();
        EXPECT_EQ(deviceOf(a, 1000), 0);
        EXPECT_EQ(deviceOf(b, 1000), 1);
        detach(a);
        EXPECT_EQ(deviceOf(b, 2000), 1);
        const auto c = attach();
        EXPECT_EQ(deviceOf(c, 1000), 0);
        const auto d = attach();
        EXPECT_EQ(deviceOf(d, 1000), 2);
        EXPECT_EQ(deviceOf(b, 3000), 1);
        detach(b);
        detach(c);
        detach(d);
    });
}

TEST_F(SdlJoystickTest, AxesArriveRawAndButtonsByNumber) {
    run([&] {
        const auto pad = attach();
        SDL_Joystick* joystick = SDL_JoystickFromInstanceID(pad);
        ASSERT_NE(joystick, nullptr);
        EXPECT_EQ(deviceOf(pad, -32768), 0);
        EXPECT_EQ(deviceOf(pad, 32767), 0);
        EXPECT_EQ(deviceOf(pad, 16384), 0);

        records.clear();
        SDL_JoystickSetVirtualAxis(joystick, 1, -5);
        SDL_JoystickSetVirtualButton(joystick, 7, SDL_PRESSED);
        media->processPendingEvents();
        SDL_JoystickSetVirtualButton(joystick, 7, SDL_RELEASED);
        media->processPendingEvents();
        std::map<int, MediaEvent> last;
        for (const auto& r : records)
            last[r.type] = r;
        ASSERT_TRUE(last.contains(MediaEventType::JOY_AXIS));
        EXPECT_EQ(last[MediaEventType::JOY_AXIS].code, 1);
        EXPECT_EQ(last[MediaEventType::JOY_AXIS].value, -5);
        ASSERT_TRUE(last.contains(MediaEventType::JOY_BUTTON_DOWN));
        EXPECT_EQ(last[MediaEventType::JOY_BUTTON_DOWN].code, 7);
        EXPECT_EQ(last[MediaEventType::JOY_BUTTON_DOWN].device, 0);
        ASSERT_TRUE(last.contains(MediaEventType::JOY_BUTTON_UP));
        EXPECT_EQ(last[MediaEventType::JOY_BUTTON_UP].code, 7);
        detach(pad);
    });
}

} // namespace
} // namespace zindle
