// The stage's frame clock and wake requests, driven by the headless event loop.
#include "framework/framework_fixture.h"
#include "framework/sound.h"
#include "framework/sound_channel.h"

#include <algorithm>

namespace zindle::test {
namespace {

constexpr double kSixtyHzWake = 0.011666666666666665; // 1/60 s less the early wake-up

class StageTest : public FrameworkTest {
protected:
    // Counts the "enterFrame" events the root clip hears.
    int& countFrames() {
        Lib::current().addEventListener(Event::ENTER_FRAME, [this](Event&) { ++enterFrames_; });
        return enterFrames_;
    }
    void send(int type) {
        MediaEvent record;
        record.type = type;
        media().send(record);
    }
    // Runs the event loop as the real one would, sleeping exactly as long as asked (but never
    // less than a millisecond, since this clock only moves when told).
    void runFor(double seconds) {
        const double end = media().now() + seconds;
        while (media().now() < end) {
            media().advance(std::max(media().requestedWake(), 0.001));
            media().pump();
        }
    }

    int enterFrames_ = 0;
};

TEST_F(StageTest, FirstPollRendersAtOnceAndAsksToWakeJustBeforeTheNextFrame) {
    EXPECT_DOUBLE_EQ(Stage(media().stage(), 480, 320).mediaFramePeriod, 0.01);
    Stage& stage = openWindow(60);
    EXPECT_DOUBLE_EQ(stage.mediaFramePeriod, 0.016666666666666666);
    int& frames = countFrames();
    media().setTime(5);
    media().poll();
    EXPECT_EQ(frames, 1);
    ASSERT_EQ(media().frames().size(), 1u);
    EXPECT_EQ(media().frames()[0].time, 5);
    EXPECT_NEAR(media().requestedWake(), kSixtyHzWake, 1e-12);
    EXPECT_LE(media().requestedWake(), kSixtyHzWake + 1e-15);
}

TEST_F(StageTest, EarlyPollRendersNothingAndAsksForTheRest) {
    openWindow(60);
    int& frames = countFrames();
    media().setTime(5);
    media().poll();
    media().advance(0.010);
    media().poll();
    EXPECT_EQ(frames, 1);
    EXPECT_NEAR(media().requestedWake(), 1.0 / 60 - 0.010 - 0.005, 1e-12);
    media().setTime(5 + 1.0 / 60);
    media().poll();
    EXPECT_EQ(frames, 2);
}

TEST_F(StageTest, SixtyFramesASecondAndLatenessIsNotMadeUp) {
    openWindow(60);
    int& frames = countFrames();
    media().setTime(10);
    runFor(1.0);
    // Each frame is timed from when the last one started, so a late wake costs a little.
    EXPECT_GE(frames, 55);
    EXPECT_LE(frames, 61);
    const auto& recorded = media().frames();
    for (std::size_t i = 1; i < recorded.size(); ++i)
        EXPECT_GE(recorded[i].time - recorded[i - 1].time, 1.0 / 60 - 1e-9);
}

TEST_F(StageTest, FrameRateZeroRendersOnlyOnRedraw) {
    openWindow(0);
    int& frames = countFrames();
    media().setTime(100);
    media().poll();
    media().advance(1);
    media().poll();
    EXPECT_EQ(frames, 0);
    EXPECT_TRUE(media().frames().empty());
    EXPECT_EQ(media().requestedWake(), 315000000);
    send(MediaEventType::REDRAW);
    EXPECT_EQ(frames, 1);
    EXPECT_EQ(media().frames().size(), 1u);
}

TEST_F(StageTest, InactiveStageRendersNothingAndSleepsOnTheTimer) {
    openWindow(60);
    int& frames = countFrames();
    int deactivations = 0;
    Lib::current().addEventListener(Event::DEACTIVATE, [&](Event&) { ++deactivations; });
    media().setTime(5);
    send(MediaEventType::DEACTIVATE);
    send(MediaEventType::DEACTIVATE);
    EXPECT_EQ(deactivations, 1);
    EXPECT_EQ(media().requestedWake(), 315000000);
    media().advance(1);
    media().poll();
    send(MediaEventType::REDRAW);
    EXPECT_EQ(frames, 0);
    EXPECT_TRUE(media().frames().empty());

    Sound sound(writeFile("beep.wav", tinyWav()), false);
    ASSERT_TRUE(sound.play());
    media().poll();
    EXPECT_EQ(media().requestedWake(), 0.5);
}

TEST_F(StageTest, ActivationResumesFramesAtOnce) {
    openWindow(60);
    int& frames = countFrames();
    media().setTime(5);
    send(MediaEventType::DEACTIVATE);
    media().advance(1);
    send(MediaEventType::ACTIVATE);
    EXPECT_EQ(frames, 1);
}

// Online play keeps a window in the background running: the others cannot wait for it.
TEST_F(StageTest, StageThatDoesNotPauseKeepsItsFramesWhenInactive) {
    Stage& stage = openWindow(60);
    int& frames = countFrames();
    stage.pauseWhenDeactivated = false;
    media().setTime(5);
    send(MediaEventType::DEACTIVATE);
    media().advance(1);
    media().poll();
    EXPECT_EQ(frames, 1);
    send(MediaEventType::REDRAW);
    EXPECT_EQ(frames, 2);
}

TEST_F(StageTest, PlayingSoundWakesTheStageEveryFiftiethOfASecond) {
    Stage& stage = openWindow(0);
    Sound sound(writeFile("beep.wav", tinyWav()), false);
    auto channel = sound.play();
    media().poll();
    EXPECT_EQ(media().requestedWake(), 0.02);
    stage.pauseWhenDeactivated = false;
    send(MediaEventType::DEACTIVATE);
    EXPECT_EQ(media().requestedWake(), 0.02);
    media().completeChannel(channel->handle());
    media().poll();
    EXPECT_EQ(media().requestedWake(), 315000000);
    SoundChannel::mediaDynamicSoundCount = 1;
    media().poll();
    EXPECT_EQ(media().requestedWake(), 0.001);
}

} // namespace
} // namespace zindle::test
