// The pieces of the art generator: the grid sources, pixel operations, PNG files and packing.
#include "art/art.h"
#include "art/atlas.h"
#include "art/grid_source.h"
#include "common/png_io.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace {

using namespace assetgen;
namespace fs = std::filesystem;

class TempDir {
public:
    TempDir() {
        path_ = fs::temp_directory_path() /
                ("zindle-art-test-" + std::to_string(std::random_device{}()));
        fs::create_directories(path_);
    }
    ~TempDir() { fs::remove_all(path_); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }
    fs::path write(const std::string& name, const std::string& text) const {
        std::ofstream(path_ / name, std::ios::binary) << text;
        return path_ / name;
    }

private:
    fs::path path_;
};

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(GridSourceTest, ReadsBlocksAndRejectsRaggedRowsWithTheirLine) {
    TempDir dir;
    const auto good = dir.write("g.txt", "# note\ntile A 1 2\nab\ncd\n\ntile B mid mid\r\nx\r\n");
    const auto blocks = readGridFile(good);
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0].arg(1), "A");
    EXPECT_EQ(blocks[0].intArg(3), 2);
    EXPECT_EQ(blocks[0].width(), 2);
    EXPECT_EQ(blocks[0].height(), 2);
    EXPECT_EQ(blocks[1].rows.at(0), "x"); // carriage return dropped

    const auto ragged = dir.write("r.txt", "tile A 0 0\nabc\nab\n");
    try {
        readGridFile(ragged);
        FAIL() << "ragged rows accepted";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("r.txt:3"), std::string::npos) << e.what();
    }
    EXPECT_THROW(readGridFile(dir.write("o.txt", "abc\n")), std::runtime_error);
}

TEST(GridSourceTest, PaintsThroughThePaletteAndTheSwap) {
    TempDir dir;
    const Palette palette = Palette::load(dir.write("p.txt", "r ff0000\nb 0000ff80\n"));
    const auto blocks = readGridFile(dir.write("g.txt", "tile T 0 0\nr.1\n"));
    const Image image = paint(blocks[0], palette, {{'1', 'b'}});
    EXPECT_EQ(image.at(0, 0), (Rgba{255, 0, 0, 255}));
    EXPECT_EQ(image.at(1, 0).a, 0);
    EXPECT_EQ(image.at(2, 0), (Rgba{0, 0, 255, 128}));
    // A symbol the palette lacks is an error, not a silent hole.
    EXPECT_THROW(paint(blocks[0], palette), std::runtime_error);
    EXPECT_THROW(Palette::load(dir.write("q.txt", "r ff0000\nr 00ff00\n")), std::runtime_error);
    EXPECT_THROW(Palette::load(dir.write("s.txt", "r ff00\n")), std::runtime_error);
}

TEST(ImageTest, TurnsAndMirrorsKeepEveryPixel) {
    Image image(3, 2);
    image.set(0, 0, {1, 0, 0, 255});
    image.set(2, 1, {2, 0, 0, 255});
    const Image left = image.rotatedLeft();
    EXPECT_EQ(left.width(), 2);
    EXPECT_EQ(left.height(), 3);
    EXPECT_EQ(left.at(0, 2).r, 1); // the top-left corner goes to the bottom-left
    EXPECT_EQ(left.rotatedRight().pixels(), image.pixels());
    EXPECT_EQ(image.mirrored().at(2, 0).r, 1);
    EXPECT_EQ(image.flipped().at(0, 1).r, 1);
    EXPECT_EQ(image.mirrored().mirrored().pixels(), image.pixels());
}

TEST(ImageTest, BlendingOverOpaqueStaysOpaque) {
    Image image(1, 1, {0, 0, 0, 255});
    image.blend(0, 0, {255, 255, 255, 128});
    EXPECT_EQ(image.at(0, 0).a, 255);
    EXPECT_NEAR(image.at(0, 0).r, 128, 1);
    image.blend(5, 5, {255, 255, 255, 255}); // outside: ignored, no crash
}

TEST(PngTest, WritesTheSameBytesEveryTimeAndReadsThemBack) {
    TempDir dir;
    Image image(5, 3, {10, 20, 30, 255});
    image.set(4, 2, {200, 100, 50, 7});
    writePng(dir.path() / "a.png", image);
    writePng(dir.path() / "b.png", image);
    EXPECT_EQ(slurp(dir.path() / "a.png"), slurp(dir.path() / "b.png"));
    const Image back = readPng(dir.path() / "a.png");
    EXPECT_EQ(back.width(), 5);
    EXPECT_EQ(back.height(), 3);
    EXPECT_EQ(back.pixels(), image.pixels());
}

TEST(PngTest, RejectsFilesThatAreNotPictures) {
    TempDir dir;
    EXPECT_THROW(readPng(dir.write("x.png", "not a png at all")), std::runtime_error);
    EXPECT_THROW(readPng(dir.path() / "missing.png"), std::runtime_error);
}

TEST(AtlasPackingTest, RefusesDuplicateNamesAndViewsOutsideTheirPicture) {
    TempDir dir;
    Atlas twice(16);
    twice.add("A", Image(2, 2, {1, 1, 1, 255}), 0, 0);
    twice.add("A", Image(2, 2, {1, 1, 1, 255}), 0, 0);
    EXPECT_THROW(twice.write(dir.path(), "t"), std::runtime_error);

    Atlas outside(16);
    outside.add("A", Image(4, 4, {1, 1, 1, 255}), 0, 0);
    outside.addView("B", "A", 2, 2, 3, 3, 0, 0);
    EXPECT_THROW(outside.write(dir.path(), "t"), std::runtime_error);

    Atlas wide(16);
    wide.add("A", Image(17, 1, {1, 1, 1, 255}), 0, 0);
    EXPECT_THROW(wide.write(dir.path(), "t"), std::runtime_error);
}

TEST(AtlasPackingTest, ViewsPointIntoTheirPictureWherePackingPutIt) {
    TempDir dir;
    Atlas atlas(8);
    atlas.add("SMALL", Image(3, 3, {1, 1, 1, 255}), 1, 1);
    atlas.add("BIG", Image(6, 5, {2, 2, 2, 255}), 0, 0);
    atlas.addView("PART", "BIG", 1, 2, 4, 3, 0, -2);
    atlas.write(dir.path(), "t");
    const std::string list = slurp(dir.path() / "t.txt");
    // The taller picture is packed first, at the origin; the small one goes on the next shelf.
    EXPECT_NE(list.find("SMALL 0 6 3 3 1 1\n"), std::string::npos) << list;
    EXPECT_NE(list.find("BIG 0 0 6 5 0 0\n"), std::string::npos) << list;
    EXPECT_NE(list.find("PART 1 2 4 3 0 -2\n"), std::string::npos) << list;
}

TEST(ArtGeneratorTest, SameSourcesGiveTheSameFiles) {
    TempDir a, b;
    generateArt(ZINDLE_ASSETS_SRC_DIR, a.path());
    generateArt(ZINDLE_ASSETS_SRC_DIR, b.path());
    for (const char* file : {"gametiles.png", "gametiles.txt", "title.png", "title.txt"}) {
        EXPECT_EQ(slurp(a.path() / file), slurp(b.path() / file)) << file;
        EXPECT_FALSE(slurp(a.path() / file).empty()) << file;
    }
}

} // namespace
