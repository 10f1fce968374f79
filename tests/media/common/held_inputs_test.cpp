#include "media/common/held_inputs.h"

#include <gtest/gtest.h>

namespace zindle {
namespace {

namespace T = MediaEventType;

MediaEvent record(int type, int code, int value = 0, int device = 0) {
    MediaEvent r = mediaEvent(type, code, value);
    r.device = device;
    return r;
}

struct Expected {
    int type;
    int code;
    int value;
    int device;
};

// Each case feeds records in order and lists the releases, in order.
struct Case {
    const char* name;
    std::vector<MediaEvent> fed;
    std::vector<Expected> released;
};

TEST(HeldInputsTest, LetsGoOfExactlyWhatIsStillHeld) {
    MediaEvent ctrlTwo = record(T::KEY_DOWN, 50, '2');
    ctrlTwo.flags = 4;
    ctrlTwo.target = 7;
    const Case cases[] = {
        {"nothing held", {}, {}},
        {"a key held", {record(T::KEY_DOWN, 37)}, {{T::KEY_UP, 37, 0, 0}}},
        {"a key let go", {record(T::KEY_DOWN, 37), record(T::KEY_UP, 37)}, {}},
        {"a key pressed twice, let go once",
         {record(T::KEY_DOWN, 37), record(T::KEY_DOWN, 37), record(T::KEY_UP, 37)},
         {}},
        {"keys in the order they were pressed",
         {record(T::KEY_DOWN, 39), record(T::KEY_DOWN, 37), record(T::KEY_DOWN, 32),
          record(T::KEY_UP, 37)},
         {{T::KEY_UP, 39, 0, 0}, {T::KEY_UP, 32, 0, 0}}},
        {"a stick pushed, then near the centre",
         {record(T::JOY_AXIS, 0, 32767, 1), record(T::JOY_AXIS, 0, -300, 1)},
         {{T::JOY_AXIS, 0, 0, 1}}},
        {"a stick at the centre",
         {record(T::JOY_AXIS, 0, 9000, 1), record(T::JOY_AXIS, 0, 0, 1)},
         {}},
        {"the same button on two pads, one let go",
         {record(T::JOY_BUTTON_DOWN, 7, 0, 0), record(T::JOY_BUTTON_DOWN, 7, 0, 1),
          record(T::JOY_BUTTON_UP, 7, 0, 0)},
         {{T::JOY_BUTTON_UP, 7, 0, 1}}},
        {"a hat off centre, and a ball that holds nothing",
         {record(T::JOY_HAT, 0, 8, 2), record(T::JOY_BALL, 0, 0, 2), record(T::POLL, 0)},
         {{T::JOY_HAT, 0, 0, 2}}},
        {"a key code and a button number that coincide are different inputs",
         {record(T::KEY_DOWN, 7), record(T::JOY_BUTTON_DOWN, 7), record(T::JOY_BUTTON_UP, 7)},
         {{T::KEY_UP, 7, 0, 0}}},
    };
    for (const Case& c : cases) {
        HeldInputs held;
        for (const MediaEvent& r : c.fed)
            held.note(r);
        const auto released = held.releaseAll();
        ASSERT_EQ(released.size(), c.released.size()) << c.name;
        for (std::size_t i = 0; i < released.size(); ++i) {
            EXPECT_EQ(released[i].type, c.released[i].type) << c.name << ", release " << i;
            EXPECT_EQ(released[i].code, c.released[i].code) << c.name << ", release " << i;
            EXPECT_EQ(released[i].value, c.released[i].value) << c.name << ", release " << i;
            EXPECT_EQ(released[i].device, c.released[i].device) << c.name << ", release " << i;
        }
        EXPECT_TRUE(held.releaseAll().empty()) << c.name << ": released twice";
    }
    // A key's release keeps what the stage needs to route it: its target and modifiers.
    HeldInputs held;
    held.note(ctrlTwo);
    const auto released = held.releaseAll();
    ASSERT_EQ(released.size(), 1u);
    EXPECT_EQ(released[0].type, T::KEY_UP);
    EXPECT_EQ(released[0].target, 7);
    EXPECT_EQ(released[0].flags, 4);
}

} // namespace
} // namespace zindle
