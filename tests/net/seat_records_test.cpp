#include "framework/keyboard.h"
#include "input/input.h"
#include "online/seat_records.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zindle::net {
namespace {

class SeatInputTest : public ::testing::Test {
protected:
    void SetUp() override { Input::init(); }
};

InputRecord key(int code, bool down, std::uint8_t modifiers = 0) {
    InputRecord r;
    r.kind = down ? InputRecord::Kind::KeyDown : InputRecord::Kind::KeyUp;
    r.code = code;
    r.modifiers = modifiers;
    return r;
}

InputRecord pad(InputRecord::Kind kind, int device, double value = 0) {
    InputRecord r;
    r.kind = kind;
    r.code = device;
    r.value = value;
    return r;
}

TEST_F(SeatInputTest, LiveRecordsBecomeTheirPlayersHeldInput) {
    using K = InputRecord::Kind;
    struct Case {
        const char* what;
        std::vector<InputRecord> records;
        int player;
        SeatInput expected;
    };
    const Case cases[] = {
        {"left arrow", {key(Keyboard::LEFT, true)}, 0, {SeatInput::kLeft, 0, 0}},
        {"lower-case w", {key('w', true)}, 1, {SeatInput::kRight, 0, 0}},
        {"press and release", {key('O', true), key('O', false)}, 2, {}},
        {"both ways",
         {key('Z', true), key('X', true)},
         3,
         {SeatInput::kLeft | SeatInput::kRight, 0, 0}},
        {"pad join", {pad(K::ButtonDown, 2)}, 2, {SeatInput::kStart, 0, 0}},
        {"stick full left", {pad(K::Axis, 1, -1.0)}, 1, {0, -kStickSteps, 0}},
        {"stick beyond range", {pad(K::Axis, 0, 7.5)}, 0, {0, kStickSteps, 0}},
        {"CTRL+3", {key('3', true, InputRecord::kCtrl)}, 2, {0, 0, SeatInput::kToggleComputer}},
        {"3 without CTRL", {key('3', true)}, 2, {}},
        {"CTRL+2 twice", {key('2', true, 1), key('2', false, 1), key('2', true, 1)}, 1, {}},
        {"device 9 has no seat", {pad(K::Axis, 9, 1.0)}, 0, {}},
    };
    for (const Case& c : cases) {
        LocalInputTracker tracker;
        for (const InputRecord& r : c.records)
            tracker.record(r);
        EXPECT_EQ(tracker.take(c.player), c.expected) << c.what;
    }
}

TEST_F(SeatInputTest, EventsAreHandedOutOnceAndHeldKeysStay) {
    LocalInputTracker tracker;
    tracker.record(key(Keyboard::SPACE, true));
    tracker.record(key('1', true, InputRecord::kCtrl));
    EXPECT_EQ(tracker.take(0), (SeatInput{SeatInput::kStart, 0, SeatInput::kToggleComputer}));
    EXPECT_EQ(tracker.take(0), (SeatInput{SeatInput::kStart, 0, 0}));
}

TEST_F(SeatInputTest, NonFiniteStickCountsAsCentred) {
    EXPECT_EQ(quantiseStick(std::nan("")), 0);
    EXPECT_EQ(quantiseStick(0.5), 64);
    EXPECT_DOUBLE_EQ(stickValue(quantiseStick(-1)), -1.0);
}

// Replaying a seat's records into a fresh tracker must give the seat's input back: the records
// are exactly what the game's own keys for that seat would have sent.
TEST_F(SeatInputTest, SeatRecordsRoundTripThroughTheGameBindings) {
    const SeatInput steps[] = {
        {SeatInput::kLeft, 0, 0},
        {SeatInput::kLeft | SeatInput::kStart, 100, 0},
        {SeatInput::kRight, -kStickSteps, SeatInput::kToggleComputer},
        {0, 0, 0},
    };
    for (int seat = 0; seat < kSeats; ++seat) {
        LocalInputTracker tracker;
        SeatInput before{};
        for (const SeatInput& now : steps) {
            for (const InputRecord& r : seatRecords(seat, before, now)) {
                if (r.kind == InputRecord::Kind::KeyDown || r.kind == InputRecord::Kind::KeyUp) {
                    EXPECT_NE(Input::translateKey(r.code), Input::NONE);
                }
                tracker.record(r);
            }
            EXPECT_EQ(tracker.take(seat), now) << "seat " << seat;
            before = now;
        }
    }
}

TEST_F(SeatInputTest, UnchangedSeatSendsNothingAndBadSeatIsIgnored) {
    const SeatInput held{SeatInput::kRight, 5, 0};
    EXPECT_TRUE(seatRecords(0, held, held).empty());
    EXPECT_TRUE(seatRecords(4, {}, held).empty());
    EXPECT_TRUE(seatRecords(-1, {}, held).empty());
}

TEST_F(SeatInputTest, SeatMapKeepsOnlyValidAssignments) {
    SeatMap map;
    map.assign(0, 2);
    map.assign(3, 0);
    map.assign(4, 1);
    map.assign(1, 7);
    EXPECT_EQ(map.seatOf(0), 2);
    EXPECT_EQ(map.seatOf(1), std::nullopt);
    EXPECT_EQ(map.seats(), (std::vector<int>{2, 0}));
    map.release(0);
    EXPECT_EQ(map.seatOf(0), std::nullopt);
}

} // namespace
} // namespace zindle::net
