// Clouds: where a hit sends them, the path they fly, and how they look on the way.
#include "actors/cloud.h"

#include "effects/effects_fixture.h"

namespace zindle::test {
namespace {

class CloudTest : public EffectsTest {
protected:
    std::string drawnTile(const Cloud& cloud) {
        cloud.draw(*tiler);
        const auto tiles = drawn();
        if (tiles.size() == 1)
            return tiles[0].name;
        // Built by appending: GCC 12 warns falsely (-Wrestrict) on a literal + a temporary.
        std::string count = std::to_string(tiles.size());
        return count.append(" tiles drawn");
    }
};

TEST_F(CloudTest, StaysAtOriginUntilItsFirstUpdate) {
    Cloud cloud(100, 200, 2);
    EXPECT_EQ(cloud.x, 0);
    EXPECT_EQ(cloud.y, 0);
    cloud.update(0);
    EXPECT_EQ(cloud.x, 100);
    EXPECT_EQ(cloud.y, 200);
}

TEST_F(CloudTest, HitFliesOnASaggingPathToARandomGridPoint) {
    ScriptedRandom random;
    random.push({0.25, 0.5}); // x1 = (25 + 10) * 4, y1 = (24 + 20) * 4
    Cloud cloud(100, 200, 2);
    cloud.update(0);
    cloud.hit();
    EXPECT_EQ(cloud.x1, 140);
    EXPECT_EQ(cloud.y1, 176);

    cloud.update(0);
    EXPECT_EQ(cloud.x, 100);
    EXPECT_EQ(cloud.y, 200);
    cloud.update(0.5); // half way: the midpoint, 48 px lower
    EXPECT_DOUBLE_EQ(cloud.x, 120);
    EXPECT_DOUBLE_EQ(cloud.y, 188 + 48);
    cloud.update(0.5);
    EXPECT_EQ(cloud.x, 140);
    EXPECT_EQ(cloud.y, 176);
    EXPECT_EQ(cloud.hitCooldown, 0);
}

TEST_F(CloudTest, IgnoresHitsInTheFirstHalfOfAFlightAndRestartsFromWhereItIs) {
    ScriptedRandom random;
    Cloud cloud(100, 200, 2);
    cloud.x = 123.7;
    cloud.y = 150.2;
    cloud.hitCooldown = 0.5001;
    cloud.hit(); // draws nothing from the script either
    EXPECT_EQ(cloud.hitCooldown, 0.5001);
    EXPECT_EQ(cloud.x0, 100);

    random.push({0, 0.999});
    cloud.hitCooldown = 0.5;
    cloud.hit();
    EXPECT_EQ(cloud.hitCooldown, 1);
    EXPECT_EQ(cloud.x0, 123);
    EXPECT_EQ(cloud.y0, 150);
    EXPECT_EQ(cloud.x1, 40);
    EXPECT_EQ(cloud.y1, 268);
}

TEST_F(CloudTest, FlyingCloudLooksSmallerThenRegainsItsSize) {
    ScriptedRandom random;
    random.push({0.5, 0.5, 0.5, 0.5});
    Cloud huge(100, 200, 4);
    huge.update(0);
    EXPECT_EQ(drawnTile(huge), "CLOUD_HUGE");
    huge.hit();
    EXPECT_EQ(drawnTile(huge), "CLOUD_MEDIUM");
    huge.update(0.9);
    EXPECT_EQ(drawnTile(huge), "CLOUD_MEDIUM");
    huge.update(0.06); // 0.04 s left
    EXPECT_EQ(drawnTile(huge), "CLOUD_LARGE");
    huge.update(0.04);
    EXPECT_EQ(drawnTile(huge), "CLOUD_HUGE");

    Cloud tiny(100, 200, 0);
    tiny.hit();
    EXPECT_EQ(drawnTile(tiny), "CLOUD_TINY");
    tiny.update(0.96);
    EXPECT_EQ(drawnTile(tiny), "CLOUD_TINY");
}

TEST_F(CloudTest, EachSizeHasItsOwnLookAndContactBoxAndSizesBeyondTheTableNone) {
    struct Size {
        const char* tile;
        int width, height; // half-extents of the contact box
    };
    const Size sizes[] = {{"CLOUD_TINY", 6, 6},   {"CLOUD_SMALL", 9, 6}, {"CLOUD_MEDIUM", 13, 6},
                          {"CLOUD_LARGE", 15, 8}, {"CLOUD_HUGE", 20, 9}, {"CLOUD_BROKEN", 0, 0}};
    for (int size = 0; size < 6; ++size) {
        Cloud cloud(100, 200, size);
        cloud.update(0);
        EXPECT_EQ(drawnTile(cloud), sizes[size].tile) << "size " << size;
        EXPECT_EQ(cloud.getWidth(), sizes[size].width) << "size " << size;
        EXPECT_EQ(cloud.getHeight(), sizes[size].height) << "size " << size;
    }
    EXPECT_EQ(Cloud(100, 200, 5).getDepiction(), "BROKEN");

    Cloud negative(100, 200, -1);
    EXPECT_EQ(negative.getDepiction(), "TINY");
    EXPECT_EQ(negative.getWidth(), 0);
    EXPECT_EQ(negative.getHeight(), 0);
    EXPECT_EQ(Cloud(100, 200, 9).getWidth(), 0);
}

} // namespace
} // namespace zindle::test
