// Lines of text set as glyph tiles: where each glyph lands, what stands in for a character the
// font lacks, and that the game's own atlas has the glyphs a saved file's name needs.
#include "app/process_state.h"
#include "render/text_line.h"
#include "render/tiler.h"

#include "media/headless/headless_media.h"
#include "support/asset_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace zindle {
namespace {

class TextLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetProcessState();
        HeadlessMedia::install();
        folder = std::make_unique<test::AssetFolder>();
        folder->copyTestData("atlas_64x32.png", "assets/gametiles.png");
        // Widths include the 1-px outline on both sides: ink 5, 4, 3 and 5 px wide.
        folder->write("assets/gametiles.txt", "TEXT_41 0 0 7 9 1 1\n"
                                              "TEXT_42 8 0 6 9 1 1\n"
                                              "TEXT_73 16 0 5 9 1 1\n"
                                              "TEXT_3F 24 0 7 9 1 1\n");
        tiler = std::make_unique<Tiler>("assets/gametiles");
    }
    void TearDown() override { resetProcessState(); }

    std::unique_ptr<test::AssetFolder> folder;
    std::unique_ptr<Tiler> tiler;
};

TEST_F(TextLineTest, GlyphsFollowOneColumnApartAndStandInsAreDrawnForMissingOnes) {
    struct Case {
        const char* text;
        std::vector<std::pair<const char*, double>> glyphs; // tile and its x, from x = 10
        double width;
    };
    const std::vector<Case> cases{
        {"", {}, 0},
        {"A", {{"TEXT_41", 11}}, 7},
        {"AB", {{"TEXT_41", 11}, {"TEXT_42", 17}}, 12},
        {"sa", {{"TEXT_73", 11}, {"TEXT_41", 15}}, 11}, // its own s, then A for a
        {"b~\x80", {{"TEXT_42", 11}, {"TEXT_3F", 16}, {"TEXT_3F", 22}}, 18},
        {"A B", {{"TEXT_41", 11}, {"TEXT_42", 21}}, 16}, // a space leaves 4 px
        {" ", {}, 5},
    };
    for (const Case& c : cases) {
        tiler->beginDraw();
        text_line::draw(*tiler, c.text, 10, 50);
        ASSERT_EQ(tiler->tileBuffer.size(), 3 * c.glyphs.size()) << c.text;
        for (std::size_t i = 0; i < c.glyphs.size(); ++i) {
            EXPECT_EQ(tiler->tileBuffer[3 * i], c.glyphs[i].second) << c.text << " glyph " << i;
            EXPECT_EQ(tiler->tileBuffer[3 * i + 1], 51) << c.text;
            EXPECT_EQ(tiler->keys[static_cast<std::size_t>(tiler->tileBuffer[3 * i + 2])],
                      c.glyphs[i].first)
                << c.text << " glyph " << i;
        }
        EXPECT_EQ(text_line::width(*tiler, c.text), c.width) << c.text;
    }
}

TEST_F(TextLineTest, ACentredLineStartsOnAWholePixel) {
    tiler->beginDraw();
    text_line::drawCentred(*tiler, "AB", 100, 0); // 12 px wide: from 94
    EXPECT_EQ(tiler->tileBuffer[0], 95);
    tiler->beginDraw();
    text_line::drawCentred(*tiler, "A", 100, 0); // 7 px: from 96.5, drawn from 96
    EXPECT_EQ(tiler->tileBuffer[0], 97);
}

TEST(TextLineAtlas, TheGameAtlasHasEveryGlyphOfASavedFilesNameARoomLinkAndTheMessages) {
    std::ifstream list(std::filesystem::path(ZINDLE_ASSETS_DIR) / "gametiles.txt");
    std::stringstream text;
    text << list.rdbuf();
    // A room link is http://HOST:PORT/#CODE, read off the title and typed in elsewhere.
    const std::string characters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_.:/?!()'#";
    for (const char c : characters) {
        char name[16];
        std::snprintf(name, sizeof name, "TEXT_%02X ", static_cast<unsigned char>(c));
        EXPECT_NE(text.str().find(name), std::string::npos) << "no glyph for '" << c << "'";
    }
}

} // namespace
} // namespace zindle
