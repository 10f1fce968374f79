// Native key and joystick records as the game's listeners hear them, and listener bookkeeping.
#include "framework/framework_fixture.h"
#include "framework/joystick_event.h"
#include "framework/keyboard.h"
#include "framework/keyboard_event.h"

#include <memory>

namespace zindle::test {
namespace {

class EventsTest : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        stage_ = &openWindow();
    }
    MediaEvent key(int type, int code, int flags, int target) {
        MediaEvent record;
        record.type = type;
        record.code = code;
        record.value = code;
        record.flags = flags;
        record.target = target;
        return record;
    }
    MediaEvent joystick(int type, int device, int code, int value = 0) {
        MediaEvent record;
        record.type = type;
        record.device = device;
        record.code = code;
        record.value = value;
        return record;
    }
    // The last joystick event the stage heard of type.
    std::shared_ptr<JoystickEvent> listenJoystick(const std::string& type) {
        auto last = std::make_shared<JoystickEvent>("none");
        stage_->addEventListener<JoystickEvent>(type, [last](JoystickEvent& e) { *last = e; });
        return last;
    }
    Stage* stage_ = nullptr;
};

TEST_F(EventsTest, KeyFromAFocusedChildBubblesToTheStageWithItsCodesAndFlags) {
    Sprite& child = Lib::current().addChild(std::make_unique<Sprite>());
    std::vector<std::string> heard;
    child.addEventListener(KeyboardEvent::KEY_DOWN, [&](Event&) { heard.push_back("child"); });
    Lib::current().addEventListener(KeyboardEvent::KEY_DOWN,
                                    [&](Event&) { heard.push_back("root"); });
    KeyboardEvent got("none");
    EventDispatcher* target = nullptr;
    EventDispatcher* current = nullptr;
    stage_->addEventListener<KeyboardEvent>(KeyboardEvent::KEY_DOWN, [&](KeyboardEvent& e) {
        heard.push_back("stage");
        got = e;
        target = e.target;
        current = e.currentTarget;
    });

    media().send(key(MediaEventType::KEY_DOWN, Keyboard::SPACE,
                     Stage::efCtrlDown | Stage::efShiftDown | Stage::efLocationRight, child.id()));

    EXPECT_EQ(heard, (std::vector<std::string>{"child", "root", "stage"}));
    EXPECT_EQ(got.type, "keyDown");
    EXPECT_TRUE(got.bubbles);
    EXPECT_EQ(got.keyCode, Keyboard::SPACE);
    EXPECT_EQ(got.charCode, Keyboard::SPACE);
    EXPECT_TRUE(got.ctrlKey);
    EXPECT_TRUE(got.shiftKey);
    EXPECT_FALSE(got.altKey);
    EXPECT_EQ(got.keyLocation, 0);
    EXPECT_EQ(target, &child);
    EXPECT_EQ(current, stage_);
}

TEST_F(EventsTest, KeyForNoObjectOnTheStageIsDropped) {
    int heard = 0;
    stage_->addEventListener(KeyboardEvent::KEY_DOWN, [&](Event&) { ++heard; });
    media().send(key(MediaEventType::KEY_DOWN, Keyboard::A, 0, 9999));
    Sprite offStage;
    media().send(key(MediaEventType::KEY_DOWN, Keyboard::A, 0, offStage.id()));
    EXPECT_EQ(heard, 0);
}

TEST_F(EventsTest, AxisValuesScaleToPlusMinusOne) {
    auto got = listenJoystick(JoystickEvent::AXIS_MOVE);
    media().send(joystick(MediaEventType::JOY_AXIS, 2, 0, -32768));
    EXPECT_EQ(got->x, -1);
    EXPECT_EQ(got->device, 2);
    EXPECT_EQ(got->id, 0);
    media().send(joystick(MediaEventType::JOY_AXIS, 2, 0, 32767));
    EXPECT_EQ(got->x, 1);
    media().send(joystick(MediaEventType::JOY_AXIS, 2, 0, 16384));
    EXPECT_DOUBLE_EQ(got->x, 0.500015259254738);
}

TEST_F(EventsTest, AxisEventCarriesEveryStoredAxisOfItsJoystick) {
    auto got = listenJoystick(JoystickEvent::AXIS_MOVE);
    media().send(joystick(MediaEventType::JOY_AXIS, 1, 1, 32767));
    EXPECT_EQ(got->x, 0); // no axis-0 value yet
    EXPECT_EQ(got->y, 1);
    media().send(joystick(MediaEventType::JOY_AXIS, 1, 0, -32767));
    media().send(joystick(MediaEventType::JOY_AXIS, 1, 2, 32767));
    EXPECT_EQ(got->x, -1);
    EXPECT_EQ(got->y, 1);
    EXPECT_EQ(got->z, 1);
    // A fourth axis changes nothing but still reports the three.
    media().send(joystick(MediaEventType::JOY_AXIS, 1, 3, 0));
    EXPECT_EQ(got->x, -1);
    EXPECT_EQ(got->z, 1);
    // Another joystick keeps its own values.
    media().send(joystick(MediaEventType::JOY_AXIS, 0, 1, 0));
    EXPECT_EQ(got->device, 0);
    EXPECT_EQ(got->x, 0);
}

TEST_F(EventsTest, ButtonEventsCarryTheButtonNumberAndNoAxes) {
    auto down = listenJoystick(JoystickEvent::BUTTON_DOWN);
    auto up = listenJoystick(JoystickEvent::BUTTON_UP);
    media().send(joystick(MediaEventType::JOY_AXIS, 3, 0, 32767));
    media().send(joystick(MediaEventType::JOY_BUTTON_DOWN, 3, 7));
    media().send(joystick(MediaEventType::JOY_BUTTON_UP, 3, 0));
    EXPECT_EQ(down->device, 3);
    EXPECT_EQ(down->id, 7);
    EXPECT_EQ(down->x, 0);
    EXPECT_EQ(down->y, 0);
    EXPECT_EQ(down->z, 0);
    EXPECT_EQ(up->id, 0);
    EXPECT_EQ(up->type, "buttonUp");
}

TEST_F(EventsTest, QuitRecordClosesTheWindow) {
    MediaEvent quit;
    quit.type = MediaEventType::QUIT;
    media().send(quit);
    EXPECT_TRUE(media().closed());
}

TEST_F(EventsTest, AddedToStageReachesTheWholeSubtreeParentsFirst) {
    std::vector<std::string> order;
    auto a = std::make_unique<Sprite>();
    auto b = std::make_unique<Sprite>();
    auto c = std::make_unique<Sprite>();
    a->addEventListener(Event::ADDED_TO_STAGE, [&](Event& e) {
        EXPECT_FALSE(e.bubbles);
        order.push_back("a");
    });
    b->addEventListener(Event::ADDED_TO_STAGE, [&](Event&) { order.push_back("b"); });
    c->addEventListener(Event::ADDED_TO_STAGE, [&](Event&) { order.push_back("c"); });
    Sprite& bRef = *b;
    b->addChild(std::move(c));
    a->addChild(std::move(b));
    EXPECT_TRUE(order.empty()); // nothing is on the stage yet
    Sprite& aRef = Lib::current().addChild(std::move(a));
    EXPECT_EQ(order, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(aRef.stage(), stage_);
    EXPECT_EQ(bRef.parent(), &aRef);
}

TEST_F(EventsTest, ChildAddedByAnAddedToStageListenerHearsOnce) {
    int childHeard = 0;
    auto parent = std::make_unique<Sprite>();
    Sprite& p = *parent;
    parent->addEventListener(Event::ADDED_TO_STAGE, [&](Event&) {
        auto child = std::make_unique<Sprite>();
        child->addEventListener(Event::ADDED_TO_STAGE, [&](Event&) { ++childHeard; });
        p.addChild(std::move(child));
    });
    Lib::current().addChild(std::move(parent));
    EXPECT_EQ(childHeard, 1);
}

TEST_F(EventsTest, AListenerThatLeavesDuringDispatchLetsTheOthersRunAndAddsCountFromTheNext) {
    Sprite s;
    std::vector<std::string> heard;
    s.addEventListener("ping", [&](Event&) { heard.push_back("before"); });
    ListenerId self = 0;
    self = s.addEventListener("ping", [&](Event&) {
        heard.push_back("leaving");
        s.removeEventListener("ping", self);
        s.addEventListener("ping", [&](Event&) { heard.push_back("late"); });
    });
    s.addEventListener("ping", [&](Event&) { heard.push_back("after"); });
    s.addEventListener("ping", [&](Event&) { heard.push_back("last"); });

    Event ping("ping");
    s.dispatchEvent(ping);
    EXPECT_EQ(heard, (std::vector<std::string>{"before", "leaving", "after", "last"}));
    heard.clear();
    Event again("ping");
    s.dispatchEvent(again);
    EXPECT_EQ(heard, (std::vector<std::string>{"before", "after", "last", "late"}));
}

} // namespace
} // namespace zindle::test
