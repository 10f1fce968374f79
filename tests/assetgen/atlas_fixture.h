#pragma once
// The committed atlases as the tests read them: both tile lists with their images, and tiles
// looked up by name.
#include "common/png_io.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace assetgen::test {

struct Tile {
    std::string name;
    int x, y, w, h, cx, cy;
};

inline std::vector<Tile> readTileList(const std::string& path) {
    std::ifstream in(path);
    EXPECT_TRUE(in) << path;
    std::vector<Tile> tiles;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream fields(line);
        Tile t;
        fields >> t.name >> t.x >> t.y >> t.w >> t.h >> t.cx >> t.cy;
        EXPECT_TRUE(fields && fields.eof()) << "not seven single fields: " << line;
        EXPECT_EQ(line.find("  "), std::string::npos) << line;
        tiles.push_back(t);
    }
    return tiles;
}

class AtlasTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string dir = ZINDLE_ASSETS_DIR;
        game = readTileList(dir + "/gametiles.txt");
        title = readTileList(dir + "/title.txt");
        gameImage = assetgen::readPng(dir + "/gametiles.png");
        titleImage = assetgen::readPng(dir + "/title.png");
        for (const Tile& t : game) {
            gameByName[t.name] = t;
        }
        for (const Tile& t : title) {
            titleByName[t.name] = t;
        }
    }

    static int count(const std::vector<Tile>& tiles, const std::string& name) {
        int n = 0;
        for (const Tile& t : tiles) {
            n += t.name == name;
        }
        return n;
    }

    static bool visible(const Image& image, const Tile& t) {
        for (int y = t.y; y < t.y + t.h; ++y) {
            for (int x = t.x; x < t.x + t.w; ++x) {
                if (image.at(x, y).a != 0) {
                    return true;
                }
            }
        }
        return false;
    }

    std::vector<Tile> game, title;
    std::map<std::string, Tile> gameByName, titleByName;
    Image gameImage, titleImage;
};

} // namespace assetgen::test
