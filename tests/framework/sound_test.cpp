// Sounds and their channels: what reaches the mixer and when a channel counts as finished.
#include "framework/framework_fixture.h"
#include "framework/sound.h"
#include "framework/sound_channel.h"
#include "support/hostile_sounds.h"

#include <stdexcept>

namespace zindle::test {
namespace {

class SoundTest : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        openWindow(0);
        path_ = writeFile("jump.wav", tinyWav());
    }
    std::string path_;
};

TEST_F(SoundTest, TwoPlaysGiveTwoIndependentChannels) {
    Sound sound(path_, false);
    auto a = sound.play();
    auto b = sound.play(0, 2);
    ASSERT_TRUE(a && b);
    EXPECT_NE(a, b);
    EXPECT_NE(a->handle(), b->handle());
    EXPECT_EQ(SoundChannel::mediaIncompleteList.size(), 2u);
    ASSERT_EQ(media().channels().size(), 2u);
    EXPECT_EQ(media().channels()[1].loops, 2);
    EXPECT_EQ(media().channels()[1].path, path_);
    EXPECT_FALSE(media().channels()[1].music);
    a->stop();
    media().poll();
    EXPECT_EQ(SoundChannel::mediaIncompleteList.size(), 1u);
    EXPECT_NE(b->handle(), ChannelHandle::None);
}

TEST_F(SoundTest, StoppedChannelLeavesTheListAtTheNextPollWithOneCompletion) {
    const std::string mp3 = test::silentMp3Frames();
    Sound sound(writeFile("tune.mp3", {mp3.begin(), mp3.end()}), true);
    auto channel = sound.play(0, 1000000);
    int completions = 0;
    channel->addEventListener(Event::SOUND_COMPLETE, [&](Event&) { ++completions; });
    channel->stop();
    EXPECT_EQ(SoundChannel::mediaIncompleteList.size(), 1u);
    media().poll();
    EXPECT_TRUE(SoundChannel::mediaIncompleteList.empty());
    EXPECT_EQ(channel->handle(), ChannelHandle::None);
    EXPECT_TRUE(media().channels()[0].stopped);
    media().poll();
    channel->stop(); // already over: nothing to silence, nothing to report
    EXPECT_EQ(completions, 1);
}

TEST_F(SoundTest, ChannelStartedByACompletionListenerKeepsPlaying) {
    Sound sound(path_, false);
    auto first = sound.play();
    std::shared_ptr<SoundChannel> next;
    first->addEventListener(Event::SOUND_COMPLETE, [&](Event&) { next = sound.play(); });
    media().completeAllEffects();
    media().poll();
    ASSERT_TRUE(next);
    ASSERT_EQ(SoundChannel::mediaIncompleteList.size(), 1u);
    EXPECT_EQ(SoundChannel::mediaIncompleteList[0], next);
}

TEST_F(SoundTest, TransformIsCopiedAndClampedBeforeTheMixer) {
    Sound sound(path_, false);
    auto plain = sound.play();
    EXPECT_EQ(plain->soundTransform().volume, 1);
    EXPECT_EQ(plain->soundTransform().pan, 0);

    SoundTransform loud(3.0, -7.0);
    auto channel = sound.play(0, 0, &loud);
    loud.volume = 0.1; // the channel kept its own copy
    EXPECT_EQ(channel->soundTransform().volume, 3.0);
    EXPECT_EQ(media().channels()[1].volume, 1);
    EXPECT_EQ(media().channels()[1].pan, -1);

    SoundTransform read = channel->soundTransform();
    read.volume = 0.5;
    EXPECT_EQ(media().channels()[1].volume, 1); // not until written back
    channel->setSoundTransform(read);
    EXPECT_EQ(media().channels()[1].volume, 0.5);
    EXPECT_EQ(channel->soundTransform().volume, 0.5);
}

TEST_F(SoundTest, UnloadableFilesRaiseCouldNotLoad) {
    const std::string missing = path_ + ".missing";
    const std::string garbage = writeFile("noise.wav", {'n', 'o', 't', ' ', 'a', 'u', 'd', 'i'});
    const std::string empty = writeFile("empty.mp3", {});
    for (const auto& path : {missing, garbage, empty}) {
        try {
            Sound sound(path, false);
            ADD_FAILURE() << path << " loaded";
        } catch (const SoundLoadError& e) {
            EXPECT_EQ(std::string(e.what()), "Could not load:" + path);
        }
    }
}

} // namespace
} // namespace zindle::test
