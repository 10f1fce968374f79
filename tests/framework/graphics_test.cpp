// Tile drawing as the media layer is asked for it.
#include "framework/bitmap_data.h"
#include "framework/framework_fixture.h"
#include "framework/graphics.h"
#include "framework/tilesheet.h"

namespace zindle::test {
namespace {

// Remembers the flags and fills of every tile batch on top of the headless layer.
class FlagRecorder : public HeadlessMedia {
public:
    void media_gfx_begin_bitmap_fill(GraphicsHandle g, BitmapHandle bitmap, bool repeat,
                                     bool smooth) override {
        fills.push_back({repeat, smooth});
        HeadlessMedia::media_gfx_begin_bitmap_fill(g, bitmap, repeat, smooth);
    }
    void media_gfx_draw_tiles(GraphicsHandle g, SheetHandle sheet, std::span<const double> data,
                              int flags) override {
        this->flags.push_back(flags);
        HeadlessMedia::media_gfx_draw_tiles(g, sheet, data, flags);
    }
    std::vector<std::pair<bool, bool>> fills;
    std::vector<int> flags;
};

TEST(GraphicsTest, DrawTilesAddsSmoothOnlyWhenAsked) {
    Lib::reset();
    auto& media = static_cast<FlagRecorder&>(media_install(std::make_unique<FlagRecorder>()));
    Sprite sprite;
    Tilesheet sheet(std::make_shared<BitmapData>(BitmapHandle::None, ""));
    const double tile[] = {10, 20, 0};
    sprite.graphics().drawTiles(sheet, tile);
    sprite.graphics().drawTiles(sheet, tile, true);
    sheet.drawTiles(sprite.graphics(), tile, true, 0x4);
    sheet.drawTiles(sprite.graphics(), tile, false, 0x4);
    EXPECT_EQ(media.flags,
              (std::vector<int>{0, Tilesheet::TILE_SMOOTH, Tilesheet::TILE_SMOOTH | 0x4, 0x4}));
    EXPECT_EQ(media.fills, (std::vector<std::pair<bool, bool>>{
                               {false, false}, {false, true}, {false, true}, {false, false}}));
    HeadlessMedia::install();
}

} // namespace
} // namespace zindle::test
