#include "app/process_state.h"
#include "sound/beeper.h"
#include "sound/sfxr_category.h"
#include "sound/sound_list.h"

#include "framework/random.h"
#include "framework/sound.h"
#include "media/headless/headless_media.h"
#include "support/asset_folder.h"
#include "support/hostile_sounds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace zindle {
namespace {

class SoundListTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetProcessState();
        media = &HeadlessMedia::install();
        folder = std::make_unique<test::AssetFolder>();
        folder->writeAllEffects();
        setRandomSource([] { return 0.0; });
    }
    void TearDown() override { resetProcessState(); }

    // The file name of the n-th started channel.
    std::string played(std::size_t n) const {
        return std::filesystem::path(media->channels().at(n).path).filename().string();
    }

    HeadlessMedia* media = nullptr;
    std::unique_ptr<test::AssetFolder> folder;
};

TEST_F(SoundListTest, AlwaysPickingTheFrontPlaysInStrictRotation) {
    SoundList list("hit_hurt", 5);
    for (int i = 0; i < 10; ++i)
        list.play(1, 240);
    ASSERT_EQ(media->channels().size(), 10u);
    for (std::size_t i = 0; i < 10; ++i)
        EXPECT_EQ(played(i), "hit_hurt" + std::to_string(i % 5 + 1) + ".wav");
}

TEST_F(SoundListTest, NeverTheSameVariantTwiceInARow) {
    setRandomSource({});
    seedRandom(42);
    SoundList five("explosion", 5);
    SoundList ten("jump", 10);
    for (int i = 0; i < 300; ++i) {
        five.play(1, 0);
        ten.play(1, 0);
    }
    for (std::size_t i = 2; i < media->channels().size(); ++i)
        ASSERT_NE(played(i), played(i - 2)) << "play " << i;
}

TEST_F(SoundListTest, OneVariantPlaysEveryTimeAndNoneNever) {
    SoundList one("jump", 1);
    one.play(1, 240);
    one.play(1, 240);
    ASSERT_EQ(media->channels().size(), 2u);
    EXPECT_EQ(played(1), "jump1.wav");
    SoundList none("jump", 0);
    none.play(1, 240);
    EXPECT_EQ(media->channels().size(), 2u);
}

TEST_F(SoundListTest, PanFollowsThePositionAndVolumePassesThrough) {
    SoundList list("laser_shoot", 5);
    list.play(0, 240); // silent, but it still takes its turn
    EXPECT_EQ(played(0), "laser_shoot1.wav");
    media->clearChannels();
    const double xs[] = {-100, 0, 240, 360, 480, 600};
    const double pans[] = {-1, -1, 0, 0.5, 1, 1};
    for (double x : xs)
        list.play(0.25, x);
    for (std::size_t i = 0; i < 6; ++i) {
        const auto& c = media->channels()[i];
        EXPECT_DOUBLE_EQ(c.pan, pans[i]) << "x " << xs[i];
        EXPECT_DOUBLE_EQ(c.volume, 0.25);
        EXPECT_EQ(c.loops, 0);
        EXPECT_FALSE(c.music);
    }
}

// Whatever is wrong with a variant's file costs that variant, with one line naming the file and
// saying why.
TEST_F(SoundListTest, ABrokenVariantIsReportedInOneLineAndLeftOut) {
    const struct {
        const char* how;
        const char* why;
    } cases[] = {{"missing", "No such file"},
                 {"midi", "a MIDI file, not a WAV"},
                 {"folder", "a folder, not a regular file"},
                 {"empty", "empty, not a WAV"}};
    for (const auto& c : cases) {
        const auto jump3 = folder->path("assets/jump3.wav");
        std::filesystem::remove_all(jump3);
        if (c.how == std::string("midi"))
            folder->write("assets/jump3.wav", test::shortMidi());
        else if (c.how == std::string("folder"))
            std::filesystem::create_directory(jump3);
        else if (c.how == std::string("empty"))
            folder->write("assets/jump3.wav", "");
        ::testing::internal::CaptureStdout();
        SoundList list("jump", 10);
        const std::string out = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(list.sounds.size(), 9u) << c.how;
        EXPECT_NE(out.find("assets/jump3.wav: "), std::string::npos) << out;
        EXPECT_NE(out.find(c.why), std::string::npos) << out;
        EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
        media->clearChannels();
        for (int i = 0; i < 20; ++i)
            list.play(1, 240);
        for (std::size_t i = 0; i < media->channels().size(); ++i)
            EXPECT_NE(played(i), "jump3.wav");
    }
}

TEST_F(SoundListTest, AnOrderCapturedAfterPlayingComesBackAndNothingElseIsTaken) {
    SoundList list("hit_hurt", 5);
    setRandomSource([] { return 0.5; }); // the second variant each time: the order changes
    list.play(1, 0);
    list.play(1, 0);
    const auto played = list.sounds;
    std::vector<std::uint8_t> order;
    list.captureOrder(order);
    EXPECT_EQ(order, (std::vector<std::uint8_t>{0, 3, 4, 1, 2}));
    list.restoreOrder();
    EXPECT_TRUE(list.restoreOrder(order));
    EXPECT_EQ(list.sounds, played);

    const std::vector<std::vector<std::uint8_t>> hostile = {
        {},                 // empty
        {0, 1, 2, 3},       // one short
        {0, 1, 2, 3, 4, 0}, // one long
        {0, 1, 2, 3, 3},    // a repeat
        {0, 1, 2, 3, 5},    // out of range
        {0, 1, 2, 3, 255},
    };
    for (const auto& bad : hostile) {
        EXPECT_FALSE(list.restoreOrder(bad)) << testing::PrintToString(bad);
        EXPECT_EQ(list.sounds, played);
    }
}

TEST_F(SoundListTest, BeeperLoadsSixCategoriesInFileOrder) {
    Beeper::init();
    ASSERT_EQ(Beeper::sounds.size(), 6u);
    const std::pair<int, std::string> sizes[] = {
        {SfxrCategory::PICKUP_COIN, "pickup_coin"}, {SfxrCategory::LASER_SHOOT, "laser_shoot"},
        {SfxrCategory::EXPLOSION, "explosion"},     {SfxrCategory::POWER_UP, "power_up"},
        {SfxrCategory::HIT_HURT, "hit_hurt"},       {SfxrCategory::JUMP, "jump"}};
    for (const auto& [category, stem] : sizes) {
        const auto& list = *Beeper::sounds.at(static_cast<std::size_t>(category));
        ASSERT_EQ(list.sounds.size(), category == SfxrCategory::JUMP ? 10u : 5u) << stem;
        for (std::size_t n = 0; n < list.sounds.size(); ++n)
            EXPECT_EQ(std::filesystem::path(list.sounds[n]->url()).filename().string(),
                      stem + std::to_string(n + 1) + ".wav");
    }

    Beeper::beep(SfxrCategory::JUMP, 0.5, 480);
    ASSERT_EQ(media->channels().size(), 1u);
    EXPECT_EQ(played(0), "jump1.wav");
    EXPECT_DOUBLE_EQ(media->channels()[0].pan, 1);
    EXPECT_THROW(Beeper::beep(SfxrCategory::MAX + 1, 1, 0), std::out_of_range);
}

} // namespace
} // namespace zindle
