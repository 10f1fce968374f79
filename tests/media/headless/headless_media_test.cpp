// The headless layer itself: real PNG decoding, recorded frames, the event loop it simulates and
// the sound files it accepts.
#include "framework/bitmap_data.h"
#include "framework/framework_fixture.h"
#include "framework/graphics.h"
#include "framework/keyboard_event.h"
#include "framework/tilesheet.h"

#include <png.h>

namespace zindle::test {
namespace {

class HeadlessMediaTest : public FrameworkTest {
protected:
    // A width by height RGBA PNG whose pixel (x, y) is (x, y, 7, 255).
    std::vector<std::uint8_t> png(int width, int height) {
        std::vector<std::uint8_t> rgba;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                rgba.insert(rgba.end(),
                            {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 7, 255});
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        image.width = static_cast<png_uint_32>(width);
        image.height = static_cast<png_uint_32>(height);
        image.format = PNG_FORMAT_RGBA;
        png_alloc_size_t size = 0;
        png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr);
        std::vector<std::uint8_t> out(size);
        EXPECT_NE(png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), 0, nullptr),
                  0);
        out.resize(size);
        return out;
    }
};

TEST_F(HeadlessMediaTest, PngDecodesToItsSizeAndPixels) {
    auto bitmap = BitmapData::load(writeFile("atlas.png", png(5, 3)));
    ASSERT_TRUE(bitmap->isLoaded());
    EXPECT_EQ(bitmap->width(), 5);
    EXPECT_EQ(bitmap->height(), 3);
    const auto& pixels = media().pixels(bitmap->handle());
    ASSERT_EQ(pixels.size(), 5u * 3 * 4);
    const std::size_t at = (2 * 5 + 4) * 4; // x 4, y 2
    EXPECT_EQ(pixels[at], 4);
    EXPECT_EQ(pixels[at + 1], 2);
    EXPECT_EQ(pixels[at + 2], 7);
    EXPECT_EQ(pixels[at + 3], 255);
}

TEST_F(HeadlessMediaTest, BrokenImagesGiveNoBitmapRatherThanACrash) {
    auto good = png(16, 16);
    // A file cut anywhere in its header chunks or image data is refused at once: the decoder must
    // not wait for bytes that never come. (One that lacks only its 12-byte end chunk still holds
    // every pixel, and the reader stops after the image data.)
    constexpr std::size_t kEndChunkBytes = 12;
    for (std::size_t cut = 1; cut < good.size() - kEndChunkBytes; ++cut) {
        const std::vector<std::uint8_t> truncated(good.begin(), good.begin() + cut);
        EXPECT_FALSE(BitmapData::load(writeFile("truncated.png", truncated))->isLoaded()) << cut;
    }
    auto corrupt = good;
    for (std::size_t i = 40; i < corrupt.size() - 12; i += 3)
        corrupt[i] ^= 0x5A;
    const std::vector<std::uint8_t> header(good.begin(), good.begin() + 8);
    for (const auto& [name, bytes] :
         {std::pair{"corrupt.png", corrupt}, std::pair{"header.png", header},
          std::pair{"empty.png", std::vector<std::uint8_t>{}}}) {
        auto bitmap = BitmapData::load(writeFile(name, bytes));
        EXPECT_FALSE(bitmap->isLoaded()) << name;
        EXPECT_EQ(bitmap->width(), 0) << name;
    }
    EXPECT_FALSE(BitmapData::load(writeFile("x.png", {}) + ".missing")->isLoaded());
    EXPECT_TRUE(media().pixels(BitmapHandle::None).empty());
}

TEST_F(HeadlessMediaTest, FrameRecordsEveryDrawnTileWithItsRectangle) {
    openWindow(0);
    auto bitmap = BitmapData::load(writeFile("atlas.png", png(32, 32)));
    Tilesheet sheet(bitmap);
    sheet.addTileRect({0, 0, 8, 8}, {4, 4});
    sheet.addTileRect({8, 0, 16, 8}, {8, 4});
    Sprite& back = Lib::current().addChild(std::make_unique<Sprite>());
    Sprite& front = Lib::current().addChild(std::make_unique<Sprite>());
    // Ids that name no tile (out of range, negative, not a number) draw nothing.
    const double backTiles[] = {100, 50, 1, 1, 2, 7, 3, 4, -1, 5, 6, 0.0 / 0.0, 9, 9, 0, 1};
    const double frontTiles[] = {200, 60, 0};
    front.graphics().drawTiles(sheet, frontTiles);
    back.graphics().drawTiles(sheet, backTiles);

    MediaEvent redraw;
    redraw.type = MediaEventType::REDRAW;
    media().setTime(3);
    media().send(redraw);
    ASSERT_EQ(media().frames().size(), 1u);
    const auto& tiles = media().frames()[0].tiles;
    ASSERT_EQ(tiles.size(), 3u);
    EXPECT_EQ(tiles[0].id, 1);
    EXPECT_EQ(tiles[0].x, 100);
    EXPECT_EQ(tiles[0].y, 50);
    EXPECT_EQ(tiles[0].rect.x, 8);
    EXPECT_EQ(tiles[0].rect.width, 16);
    EXPECT_EQ(tiles[0].centre.x, 8);
    EXPECT_EQ(tiles[0].atlas, bitmap->handle());
    EXPECT_EQ(tiles[1].id, 0);
    EXPECT_EQ(tiles[1].x, 9);
    EXPECT_EQ(tiles[2].x, 200); // later children draw over earlier ones

    // The drawing list stays until cleared; with one frame kept, only the last remains.
    media().setKeepAllFrames(false);
    back.graphics().clear();
    media().send(redraw);
    media().send(redraw);
    ASSERT_EQ(media().frames().size(), 1u);
    ASSERT_EQ(media().frames()[0].tiles.size(), 1u);
}

TEST_F(HeadlessMediaTest, PumpDeliversQueuedRecordsThenPollsOnlyWhenTheWakeIsDue) {
    openWindow(60);
    std::vector<int> keys;
    Lib::stage().addEventListener(
        "keyDown", [&](Event& e) { keys.push_back(static_cast<KeyboardEvent&>(e).keyCode); });
    media().setTime(1);
    media().poll(); // renders, and asks to wake ~11.7 ms later
    MediaEvent a;
    a.type = MediaEventType::KEY_DOWN;
    a.target = Lib::stage().id();
    a.code = 65;
    MediaEvent b = a;
    b.code = 66;
    media().queue(a);
    media().queue(b);
    media().pump();
    EXPECT_EQ(keys, (std::vector<int>{65, 66}));
    EXPECT_EQ(media().frames().size(), 1u);
    media().advance(1.0 / 60);
    media().pump();
    EXPECT_EQ(media().frames().size(), 2u);
    EXPECT_EQ(media().wakeRequestedAt(), media().now());
}

// The real backends' rules: effects are whole WAVs, music is MP3; the rest is refused.
TEST_F(HeadlessMediaTest, OnlyWavEffectsAndMp3MusicLoad) {
    auto load = [&](const std::string& name, const std::vector<std::uint8_t>& bytes, bool music) {
        return media_sound_from_file(writeFile(name, bytes), music) != SoundHandle::None;
    };
    EXPECT_TRUE(load("ok.wav", tinyWav(), false));
    EXPECT_FALSE(load("ok-as-music.mp3", tinyWav(), true));
    auto headerOnly = tinyWav();
    headerOnly.resize(12);
    EXPECT_FALSE(load("header.wav", headerOnly, false));
    auto noFormat = tinyWav();
    noFormat[12] = 'x'; // the format chunk is unknown now
    EXPECT_FALSE(load("nofmt.wav", noFormat, false));
    // An MPEG-1 layer III frame header, bare and behind an ID3v2 tag.
    const std::vector<std::uint8_t> frame = {0xFF, 0xFB, 0x90, 0x64, 0, 0, 0, 0};
    EXPECT_TRUE(load("bare.mp3", frame, true));
    EXPECT_FALSE(load("bare-as-effect.wav", frame, false));
    std::vector<std::uint8_t> tagged = {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0};
    tagged.insert(tagged.end(), frame.begin(), frame.end());
    EXPECT_TRUE(load("tagged.mp3", tagged, true));
    tagged.resize(14);
    EXPECT_FALSE(load("tagonly.mp3", tagged, true));
    EXPECT_FALSE(load("text.mp3", {'h', 'e', 'l', 'l', 'o'}, true));
    EXPECT_FALSE(load("reserved.mp3", {0xFF, 0xFF, 0xFF, 0xFF}, true));
}

} // namespace
} // namespace zindle::test
