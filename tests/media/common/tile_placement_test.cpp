// Placing drawn tiles: corners rounded halves away from zero, tiles outside the picture, at a
// corner that is not finite or with an unknown id left out, and the vector path giving exactly
// the records of the plain one.
#include "media/common/tile_placement.h"

#include "media/common/display_tree.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <optional>
#include <random>
#include <vector>

namespace zindle {
namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// A 4 by 3 tile placed by its point (1, 1), and a 1 by 1 tile placed by its corner.
const std::vector<SheetTile> kSheet{{{0, 0, 4, 3}, {1, 1}}, {{4, 0, 1, 1}, {0, 0}}};
constexpr PictureBounds kPicture{10, 8};

std::vector<PlacedTile> place(const std::vector<double>& triples,
                              std::optional<PictureBounds> bounds, bool plainly = false) {
    std::vector<PlacedTile> placed;
    (plainly ? placeTilesPlainly : placeTiles)(triples, kSheet, bounds, placed);
    return placed;
}

TEST(TilePlacementTest, OneTileByCase) {
    struct Case {
        double x, y, id;
        bool bounded;
        std::optional<std::pair<float, float>> corner; // nullopt: left out
    };
    const Case cases[] = {
        {1, 1, 0, true, {{0, 0}}},
        {1.5, 1.5, 0, true, {{1, 1}}},   // +0.5 goes up
        {0.5, 0.5, 0, true, {{-1, -1}}}, // -0.5 goes down, away from zero
        {1.4999999, 2.5000001, 0, true, {{0, 2}}},
        {3.5, 1, 1, true, {{4, 1}}},    // the other tile, by its corner
        {10, 1, 0, true, {{9, 0}}},     // last column in
        {11, 1, 0, true, std::nullopt}, // first column out
        {-2, 1, 0, true, {{-3, 0}}},    // its last column in the first
        {-3, 1, 0, true, std::nullopt}, // wholly left of it
        {1, 8, 0, true, {{0, 7}}},      // last row in
        {1, 9, 0, true, std::nullopt},
        {1, -1, 0, true, {{0, -2}}}, // its last row in the first
        {1, -2, 0, true, std::nullopt},
        {-2.5, 1, 0, true, std::nullopt}, // rounds to -4: out
        {kNan, 1, 0, true, std::nullopt},
        {1, kInf, 0, true, std::nullopt},
        {-kInf, 1, 0, false, std::nullopt}, // not finite, picture or not
        {1e300, 1, 0, false, std::nullopt}, // finite, but not as a float
        {3e9, 1, 0, true, std::nullopt},    // beyond 32-bit integers
        {-3e9, 1, 0, true, std::nullopt},
        {3e9 + 1, 1, 0, false, {{3e9f, 0}}}, // kept without a picture to leave
        {-5000.5, 1, 0, false, {{-5002, 0}}},
        {1, 1, -1, true, std::nullopt}, // unknown ids
        {1, 1, 2, true, std::nullopt},
        {1, 1, kNan, true, std::nullopt},
        {1, 1, 1.75, true, {{1, 1}}}, // a fractional id names its whole part
    };
    for (const Case& c : cases) {
        for (bool plainly : {false, true}) {
            const auto placed = place({c.x, c.y, c.id},
                                      c.bounded ? std::optional(kPicture) : std::nullopt, plainly);
            SCOPED_TRACE(testing::Message()
                         << c.x << ", " << c.y << " id " << c.id << (plainly ? " plainly" : ""));
            ASSERT_EQ(placed.size(), c.corner ? 1u : 0u);
            if (c.corner) {
                EXPECT_EQ(placed[0].left, c.corner->first);
                EXPECT_EQ(placed[0].top, c.corner->second);
                EXPECT_EQ(placed[0].id, static_cast<std::uint32_t>(c.id));
            }
        }
    }
}

TEST(TilePlacementTest, BothPathsGiveTheSameRecordsInOrder) {
    // Corners around and across every edge, many on halves, a few far away or not numbers.
    std::mt19937 random(7);
    std::uniform_real_distribution<double> spread(-40, 60);
    std::uniform_int_distribution<int> pick(0, 99);
    std::vector<double> triples;
    for (int i = 0; i < 20000; ++i) {
        const int kind = pick(random);
        double x = spread(random);
        double y = spread(random);
        if (kind < 30) {
            x = std::floor(x) + 0.5;
            y = std::floor(y) - 0.5;
        } else if (kind < 33) {
            x = kind == 30 ? kNan : kind == 31 ? 1e12 : -2147483649.5;
        }
        triples.insert(triples.end(), {x, y, static_cast<double>(pick(random) % 3)});
    }
    triples.push_back(1); // an incomplete triple at the end
    for (const auto bounds : {std::optional(kPicture), std::optional<PictureBounds>()}) {
        const auto fast = place(triples, bounds);
        const auto plain = place(triples, bounds, true);
        ASSERT_EQ(fast.size(), plain.size());
        for (std::size_t i = 0; i < fast.size(); ++i) {
            ASSERT_EQ(std::bit_cast<std::uint32_t>(fast[i].left),
                      std::bit_cast<std::uint32_t>(plain[i].left))
                << i;
            ASSERT_EQ(std::bit_cast<std::uint32_t>(fast[i].top),
                      std::bit_cast<std::uint32_t>(plain[i].top))
                << i;
            ASSERT_EQ(fast[i].id, plain[i].id) << i;
        }
    }
}

TEST(TilePlacementTest, TreeKeepsTriplesUntilAskedToPlaceThem) {
    DisplayTree tree;
    const StageHandle root = tree.createRoot();
    const GraphicsHandle graphics = tree.graphicsOf(stageObject(root));
    const SheetHandle sheet = tree.createSheet(BitmapHandle::None);
    tree.addRect(sheet, {0, 0, 2, 2}, {0, 0});
    const std::vector<double> data{1, 1, 0, 50, 1, 0, 3};
    const auto batches = [&] {
        std::vector<DisplayTree::Batch> seen;
        tree.forEachBatch(stageObject(root), [&](const auto& batch) { seen.push_back(batch); });
        return seen;
    };

    tree.drawTiles(graphics, sheet, data, 0);
    tree.keepPlacedTiles(std::nullopt);
    tree.drawTiles(graphics, sheet, data, 0);
    tree.keepPlacedTiles(PictureBounds{10, 10});
    tree.drawTiles(graphics, sheet, data, 0);
    const auto seen = batches();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].data, std::vector<double>(data.begin(), data.begin() + 6));
    EXPECT_TRUE(seen[0].placed.empty());
    EXPECT_TRUE(seen[1].data.empty());
    EXPECT_EQ(seen[1].placed.size(), 2u); // no picture yet: both kept
    EXPECT_TRUE(seen[2].data.empty());
    ASSERT_EQ(seen[2].placed.size(), 1u);
    EXPECT_EQ(seen[2].placed[0].left, 1);
}

} // namespace
} // namespace zindle
