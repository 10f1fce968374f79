// The standard layout's rules, which the desktop's and the browser's pads both go through.
#include "input/pad_layout.h"

#include <gtest/gtest.h>

#include <vector>

namespace zindle::pad_layout {
namespace {

struct Step {
    const char* what;
    bool isAxis;
    Part part;
    int value; // buttons: 1 down, 0 up
    // The record expected: type 0 for none.
    int type;
    int code;
    int recordValue;
};

TEST(PadLayoutTest, JoinsWithSouthAndStartAndSteersWithStickAndDpad) {
    namespace T = MediaEventType;
    const std::vector<Step> steps = {
        {"south down", false, Part::South, 1, T::JOY_BUTTON_DOWN, kSouthButton, 0},
        {"south up", false, Part::South, 0, T::JOY_BUTTON_UP, kSouthButton, 0},
        {"start down", false, Part::Start, 1, T::JOY_BUTTON_DOWN, kStartButton, 0},
        {"right shoulder: a clip", false, Part::RightShoulder, 1, T::JOY_BUTTON_DOWN, kClipButton,
         0},
        {"another button", false, Part::Other, 1, 0, 0, 0},
        {"another axis", true, Part::Other, 1000, 0, 0, 0},
        {"stick half right", true, Part::LeftStickX, 16000, T::JOY_AXIS, kSteeringAxis, 16000},
        {"D-pad left over the stick", false, Part::DpadLeft, 1, T::JOY_AXIS, 0, kFullLeft},
        {"stick moves under it", true, Part::LeftStickX, 20000, T::JOY_AXIS, 0, kFullLeft},
        {"both sides: the stick", false, Part::DpadRight, 1, T::JOY_AXIS, 0, 20000},
        {"left let go: right", false, Part::DpadLeft, 0, T::JOY_AXIS, 0, kFullRight},
        {"right let go: the stick", false, Part::DpadRight, 0, T::JOY_AXIS, 0, 20000},
        {"stick beyond its range", true, Part::LeftStickX, -40000, T::JOY_AXIS, 0, kFullLeft},
        {"stick centred", true, Part::LeftStickX, 0, T::JOY_AXIS, 0, 0},
        // The menu's parts: buttons that never steer, the stick's y as the D-pad's up and down.
        {"B", false, Part::East, 1, T::JOY_BUTTON_DOWN, kEastButton, 0},
        {"Back", false, Part::Back, 1, T::JOY_BUTTON_DOWN, kBackButton, 0},
        {"D-pad up", false, Part::DpadUp, 1, T::JOY_BUTTON_DOWN, kMenuUpButton, 0},
        {"D-pad down let go", false, Part::DpadDown, 0, T::JOY_BUTTON_UP, kMenuDownButton, 0},
        {"stick a little up", true, Part::LeftStickY, -10000, 0, 0, 0},
        {"stick well up", true, Part::LeftStickY, -20000, T::JOY_BUTTON_DOWN, kMenuUpButton, 0},
        {"held up", true, Part::LeftStickY, -32768, 0, 0, 0},
        {"eased between the lines", true, Part::LeftStickY, -12000, 0, 0, 0},
        {"straight over to down", true, Part::LeftStickY, 20000, T::JOY_BUTTON_DOWN,
         kMenuDownButton, 0},
        {"back near the middle", true, Part::LeftStickY, 4000, T::JOY_BUTTON_UP, kMenuDownButton,
         0},
    };
    StandardPad pad;
    for (const Step& step : steps) {
        const auto record =
            step.isAxis ? pad.axis(step.part, step.value) : pad.button(step.part, step.value != 0);
        if (step.type == 0) {
            EXPECT_FALSE(record) << step.what;
            continue;
        }
        ASSERT_TRUE(record) << step.what;
        EXPECT_EQ(record->type, step.type) << step.what;
        EXPECT_EQ(record->code, step.code) << step.what;
        EXPECT_EQ(record->value, step.recordValue) << step.what;
    }
}

TEST(PadLayoutTest, OnlyTheSouthAndStartRecordsJoin) {
    for (int button = -1; button < 20; ++button)
        EXPECT_EQ(joins(button), button == 0 || button == 7) << button;
}

} // namespace
} // namespace zindle::pad_layout
