#pragma once
// Packs named pictures into one atlas image and writes the matching tile list
// (NAME X Y WIDTH HEIGHT CENTREX CENTREY per line).
#include "common/image.h"

#include <filesystem>
#include <string>
#include <vector>

namespace assetgen {

class Atlas {
public:
    explicit Atlas(int width) : width_(width) {}

    // A picture of its own; the centre is the point, relative to its top-left, that the game
    // places on the draw position.
    void add(const std::string& name, const Image& image, int centreX, int centreY);
    // A tile that shows part of an earlier picture (the title's halves are views of the title).
    void addView(const std::string& name, const std::string& of, int x, int y, int w, int h,
                 int centreX, int centreY);
    // A comment line written before the next tile.
    void comment(const std::string& text);

    // Packs (tall pictures first, so shelves waste little), then writes NAME.png and NAME.txt.
    void write(const std::filesystem::path& folder, const std::string& baseName) const;

private:
    struct Entry {
        std::string name;
        Image image;
        std::string viewOf; // non-empty for views
        int viewX = 0, viewY = 0, viewW = 0, viewH = 0;
        int centreX = 0, centreY = 0;
        std::string commentBefore;
    };
    int width_;
    std::vector<Entry> entries_;
    std::string pendingComment_;
};

} // namespace assetgen
