#include "sound/music.h"

#include "app/process_state.h"
#include "base/rules.h"
#include "framework/sound.h"
#include "media/headless/headless_media.h"
#include "support/asset_folder.h"
#include "support/hostile_sounds.h"

#include <gtest/gtest.h>

namespace zindle {
namespace {

class MusicTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetProcessState();
        media = &HeadlessMedia::install();
        folder.write("assets/a.mp3", test::silentMp3Frames());
        folder.write("assets/b.mp3", test::silentMp3Frames());
        a = std::make_shared<Sound>(folder.path("assets/a.mp3").string(), true);
        b = std::make_shared<Sound>(folder.path("assets/b.mp3").string(), true);
    }
    void TearDown() override { resetProcessState(); }

    std::size_t started() const { return media->channels().size(); }
    const HeadlessMedia::ChannelRecord& last() const { return media->channels().back(); }

    HeadlessMedia* media = nullptr;
    test::AssetFolder folder;
    std::shared_ptr<Sound> a;
    std::shared_ptr<Sound> b;
};

TEST_F(MusicTest, RepeatedRequestsNeverRestart) {
    for (int step = 0; step < 100; ++step) {
        Music::ensurePlaying(a);
        Music::update(1.0 / rules::kStepsPerSecond);
    }
    ASSERT_EQ(started(), 1u);
    EXPECT_FALSE(last().stopped);
    EXPECT_EQ(last().loops, 1000000);
    EXPECT_EQ(last().volume, 1);
    EXPECT_EQ(last().pan, 0);
    EXPECT_EQ(Music::sound, a);
}

TEST_F(MusicTest, AlternatingRequestsRestartEachTrack) {
    Music::ensurePlaying(a);
    Music::ensurePlaying(b);
    Music::ensurePlaying(a);
    ASSERT_EQ(started(), 3u);
    EXPECT_TRUE(media->channels()[0].stopped);
    EXPECT_TRUE(media->channels()[1].stopped);
    EXPECT_FALSE(media->channels()[2].stopped);
    EXPECT_EQ(media->channels()[0].path, media->channels()[2].path);
}

TEST_F(MusicTest, NoTrackSilencesButTheLastRequestStands) {
    Music::ensurePlaying(a);
    Music::ensurePlaying(nullptr);
    EXPECT_TRUE(last().stopped);
    EXPECT_EQ(Music::channel, nullptr);
    EXPECT_EQ(Music::desiredSound, a);
    Music::ensurePlaying(a);
    EXPECT_EQ(started(), 1u);
}

TEST_F(MusicTest, StopThenAnotherTrackStartsIt) {
    Music::ensurePlaying(a);
    Music::stop();
    EXPECT_TRUE(last().stopped);
    Music::ensurePlaying(a); // still the requested track
    EXPECT_EQ(started(), 1u);
    Music::ensurePlaying(b);
    ASSERT_EQ(started(), 2u);
    EXPECT_FALSE(last().stopped);
}

} // namespace
} // namespace zindle
