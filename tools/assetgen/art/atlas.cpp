// Packing an atlas (skyline, in a fixed order so that the same pictures always land in the same
// places) and writing its image and tile list.
#include "art/atlas.h"

#include "common/png_io.h"
#include "framework/untrusted_text.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <numeric>
#include <stdexcept>
#include <utility>

namespace assetgen {
namespace {

// Empty pixels kept between pictures, so that no tile ever samples its neighbour.
constexpr int kGutter = 1;

struct Placement {
    int x = 0, y = 0;
};

} // namespace

void Atlas::add(const std::string& name, const Image& image, int centreX, int centreY) {
    Entry e;
    e.name = name;
    e.image = image;
    e.centreX = centreX;
    e.centreY = centreY;
    e.commentBefore = std::exchange(pendingComment_, {});
    entries_.push_back(std::move(e));
}

void Atlas::addView(const std::string& name, const std::string& of, int x, int y, int w, int h,
                    int centreX, int centreY) {
    Entry e;
    e.name = name;
    e.viewOf = of;
    e.viewX = x;
    e.viewY = y;
    e.viewW = w;
    e.viewH = h;
    e.centreX = centreX;
    e.centreY = centreY;
    e.commentBefore = std::exchange(pendingComment_, {});
    entries_.push_back(std::move(e));
}

void Atlas::comment(const std::string& text) {
    pendingComment_ += "# " + text + "\n";
}

void Atlas::write(const std::filesystem::path& folder, const std::string& baseName) const {
    // Skyline packing in a fixed order: height, then width, both descending, then name. Each
    // picture goes where it lands highest (leftmost among equals) on the outline of what is
    // already placed. The order depends only on the pictures, so the same sources always give
    // the same atlas.
    std::vector<std::size_t> order;
    std::map<std::string, std::size_t> byName;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (!byName.emplace(entries_[i].name, i).second) {
            throw std::runtime_error("tile named twice: " +
                                     zindle::quoteUntrusted(entries_[i].name));
        }
        if (entries_[i].viewOf.empty()) {
            order.push_back(i);
        }
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const Image& ia = entries_[a].image;
        const Image& ib = entries_[b].image;
        if (ia.height() != ib.height()) {
            return ia.height() > ib.height();
        }
        if (ia.width() != ib.width()) {
            return ia.width() > ib.width();
        }
        return entries_[a].name < entries_[b].name;
    });

    std::vector<Placement> placed(entries_.size());
    std::vector<int> skyline(static_cast<std::size_t>(width_), 0); // first free row per column
    int height = 0;
    for (std::size_t i : order) {
        const Image& image = entries_[i].image;
        if (image.width() > width_) {
            throw std::runtime_error("tile wider than its atlas: " +
                                     zindle::quoteUntrusted(entries_[i].name));
        }
        int bestX = 0, bestY = -1;
        for (int x = 0; x + image.width() <= width_; ++x) {
            const auto from = skyline.begin() + x;
            const int y = *std::max_element(from, from + image.width());
            if (bestY < 0 || y < bestY) {
                bestX = x;
                bestY = y;
            }
        }
        placed[i] = {bestX, bestY};
        const int end = std::min(width_, bestX + image.width() + kGutter);
        for (int x = bestX; x < end; ++x) {
            skyline[static_cast<std::size_t>(x)] = bestY + image.height() + kGutter;
        }
        height = std::max(height, bestY + image.height());
    }

    // A power-of-two height keeps texture coordinates (row / height) exact in floating point;
    // otherwise a renderer that interpolates them can land a row off at a tile's edge.
    int paddedHeight = 1;
    while (paddedHeight < height) {
        paddedHeight *= 2;
    }
    Image atlas(width_, paddedHeight);
    for (std::size_t i : order) {
        atlas.stamp(entries_[i].image, placed[i].x, placed[i].y);
    }
    writePng(folder / (baseName + ".png"), atlas);

    std::ofstream list(folder / (baseName + ".txt"), std::ios::binary);
    list << "# " << baseName << ".png: NAME X Y WIDTH HEIGHT CENTREX CENTREY\n";
    list << "# Made by zindle-assetgen from assets-src/art; edit the sources, not this file.\n";
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const Entry& e = entries_[i];
        int x = placed[i].x, y = placed[i].y, w = e.image.width(), h = e.image.height();
        if (!e.viewOf.empty()) {
            const auto it = byName.find(e.viewOf);
            if (it == byName.end() || !entries_[it->second].viewOf.empty()) {
                throw std::runtime_error(zindle::quoteUntrusted(e.name) +
                                         " is a view of an unknown picture " +
                                         zindle::quoteUntrusted(e.viewOf));
            }
            const Entry& base = entries_[it->second];
            if (e.viewX < 0 || e.viewY < 0 || e.viewX + e.viewW > base.image.width() ||
                e.viewY + e.viewH > base.image.height()) {
                throw std::runtime_error(zindle::quoteUntrusted(e.name) + " reaches outside " +
                                         zindle::quoteUntrusted(e.viewOf));
            }
            x = placed[it->second].x + e.viewX;
            y = placed[it->second].y + e.viewY;
            w = e.viewW;
            h = e.viewH;
        }
        list << e.commentBefore << e.name << ' ' << x << ' ' << y << ' ' << w << ' ' << h << ' '
             << e.centreX << ' ' << e.centreY << '\n';
    }
    if (!list) {
        throw std::runtime_error("cannot write " + (folder / (baseName + ".txt")).string());
    }
}

} // namespace assetgen
