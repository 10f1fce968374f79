// The display strip along the bottom edge and what the four player panels show on it.
#include "art/art_sources.h"
#include "art/atlas.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace assetgen {
namespace {

constexpr int kStripWidth = 480; // px, the whole screen
constexpr int kStripHeight = 45; // px, drawn at y 275 down to the bottom edge
constexpr int kStripTop = 275;   // px, screen y of the strip's first row
constexpr int kPanelWidth = 120; // px, one panel per player slot
constexpr int kPanelMargin = 2;  // px between the strip's edge and a panel's frame
constexpr int kAccentRow = 4;    // px below the panel's top: the player's colour stripe
constexpr int kAccentInset = 6;  // px from the panel's sides to the stripe's ends

// Where the game draws the panel tiles, relative to the panel's left edge and the screen.
constexpr int kNumberX = 12, kNumberY = 284;
constexpr int kFigureX = 19, kFigureY = 296; // the crown's spot: the portrait wears it
constexpr int kDigitLeft = 5; // px from the panel's left edge to the number's outline
constexpr int kJoinX = 21, kJoinY = 284;
constexpr int kJoinFirstLine = 8; // px below the strip's top
constexpr int kJoinSecondLine = 19;

constexpr int kKeyCapsCentre = 60; // px from the panel's left edge: its middle
constexpr int kKeyCapsTop = 32;    // px below the strip's top
constexpr int kKeyCapGap = 3;      // px between the two caps
constexpr int kKeyCapPadding = 1;  // px around a cap's label

constexpr char kStripBackground = 'k';
constexpr char kKeyCapFace = 'N';
constexpr char kKeyCapSide = 'p';
constexpr char kKeyCapText = 'e';
constexpr char kTextBright = 'w';
constexpr char kTextDim = 'm';
constexpr char kTextDimmer = 'D';
constexpr char kTextOutline = 'k';
constexpr char kWinnerInk = 'y';
constexpr const char* kWinnerText = "WINNER!";

// Nine-slice stretch of the frame block: corners stay, edges and middle repeat.
Image stretchFrame(const Image& frame, int corner, int w, int h) {
    Image out(w, h);
    const int fw = frame.width(), fh = frame.height();
    const auto source = [&](int d, int size, int fsize) {
        if (d < corner) {
            return d;
        }
        if (d >= size - corner) {
            return fsize - (size - d);
        }
        return corner + (d - corner) % (fsize - 2 * corner);
    };
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            out.set(x, y, frame.at(source(x, w, fw), source(y, h, fh)));
        }
    }
    return out;
}

// The smallest rectangle holding every visible pixel; throws on an empty picture.
struct Box {
    int x = 0, y = 0, w = 0, h = 0;
};
Box visibleBox(const Image& image) {
    int x0 = image.width(), y0 = image.height(), x1 = -1, y1 = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.at(x, y).a != 0) {
                x0 = std::min(x0, x);
                y0 = std::min(y0, y);
                x1 = std::max(x1, x);
                y1 = std::max(y1, y);
            }
        }
    }
    if (x1 < 0) {
        throw std::runtime_error("empty picture");
    }
    return {x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

// Adds a picture drawn on a panel-sized canvas, cut to what is visible, so that it lands on
// the same pixels when the game draws it at (drawX, drawY) (panel-relative x, screen y).
void addPanelTile(Atlas& atlas, const std::string& name, const Image& canvas, int drawX,
                  int drawY) {
    const Box b = visibleBox(canvas);
    atlas.add(name, canvas.crop(b.x, b.y, b.w, b.h), drawX - b.x, drawY - kStripTop - b.y);
}

TextStyle flat(Rgba colour, Rgba outline) {
    TextStyle style;
    style.bands = {colour};
    style.outline = outline;
    return style;
}

// Sets words in different colours on one line: pairs of text and colour.
Image line(const ArtSources& src, const std::vector<std::pair<std::string, Rgba>>& words) {
    std::vector<Image> parts;
    int width = 0;
    const Rgba outline = src.colour(kTextOutline);
    for (const auto& [text, colour] : words) {
        parts.push_back(src.font.render(text, flat(colour, outline)));
        width += parts.back().width();
    }
    // Outlines of neighbouring words overlap by their width, as in one rendered line.
    const int overlap = 2 * PixelFont::margin(flat({}, outline)) - 1;
    width -= overlap * static_cast<int>(parts.size() - 1);
    Image out(width, parts.front().height());
    int x = 0;
    for (const Image& part : parts) {
        out.stamp(part, x, 0);
        x += part.width() - overlap;
    }
    return out;
}

// A key's name on a small raised cap.
Image keyCap(const ArtSources& src, const std::string& key) {
    const Image label = src.font.render(key, flat(src.colour(kKeyCapText), {}));
    Image cap(label.width() + 2 * kKeyCapPadding, label.height() + 2 * kKeyCapPadding + 1,
              src.colour(kKeyCapFace));
    for (int x = 0; x < cap.width(); ++x) {
        cap.set(x, cap.height() - 1, src.colour(kKeyCapSide));
        cap.set(x, cap.height() - 2, src.colour(kKeyCapSide));
    }
    cap.set(0, 0, {});
    cap.set(cap.width() - 1, 0, {});
    cap.set(0, cap.height() - 1, {});
    cap.set(cap.width() - 1, cap.height() - 1, {});
    cap.stamp(label, kKeyCapPadding, kKeyCapPadding);
    return cap;
}

} // namespace

void addDisplay(Atlas& atlas, const ArtSources& src, const HeroFigures& heroes) {
    const std::vector<GridBlock> blocks = src.blocks("ui.txt");
    if (blocks.size() != 1 || blocks[0].arg(0) != "frame") {
        throw std::runtime_error("ui.txt holds one block: frame CORNER");
    }
    const Image frame = paint(blocks[0], src.palette);
    const int corner = blocks[0].intArg(1);

    Image strip(kStripWidth, kStripHeight, src.colour(kStripBackground));
    for (int v = 0; v < kPlayers; ++v) {
        const int left = v * kPanelWidth + kPanelMargin;
        strip.stamp(stretchFrame(frame, corner, kPanelWidth - 2 * kPanelMargin,
                                 kStripHeight - 2 * kPanelMargin + 1),
                    left, kPanelMargin);
        const PlayerLook& look = src.players[static_cast<std::size_t>(v)];
        for (int x = left + kAccentInset; x < left + kPanelWidth - kPanelMargin * 2 - kAccentInset;
             ++x) {
            strip.set(x, kAccentRow, look.light);
        }
    }
    // The steering keys as two small key caps along each panel's foot, so a player can see
    // which keys are theirs. They are tiles of their own, cut from the strip as it looks with
    // them, so that a panel whose player steers on another machine can leave them out while
    // every other panel shows the very same pixels.
    Image withCaps = strip;
    std::vector<std::pair<Image, int>> capTiles; // the picture and its panel-relative left
    for (int v = 0; v < kPlayers; ++v) {
        const PlayerLook& look = src.players[static_cast<std::size_t>(v)];
        const Image left = keyCap(src, look.steerKeys.substr(0, look.steerKeys.find(' ')));
        const Image right = keyCap(src, look.steerKeys.substr(look.steerKeys.find(' ') + 1));
        const int capsWidth = left.width() + kKeyCapGap + right.width();
        const int capsLeft = v * kPanelWidth + kKeyCapsCentre - capsWidth / 2;
        withCaps.stamp(left, capsLeft, kKeyCapsTop);
        withCaps.stamp(right, capsLeft + left.width() + kKeyCapGap, kKeyCapsTop);
        const int capsHeight = std::max(left.height(), right.height());
        capTiles.emplace_back(withCaps.crop(capsLeft, kKeyCapsTop, capsWidth, capsHeight),
                              capsLeft - v * kPanelWidth);
    }
    atlas.comment("The display strip, drawn at (0, 275)");
    atlas.add("UI", strip, 0, 0);
    atlas.comment("Each panel's steering keys, drawn at the panel's left edge and y 275");
    for (int v = 0; v < kPlayers; ++v) {
        const auto& [caps, left] = capTiles[static_cast<std::size_t>(v)];
        atlas.add("KEY_CAPS_" + std::to_string(v + 1), caps, -left, -kKeyCapsTop);
    }

    atlas.comment("The winner's word, drawn in its panel where the pips go while nobody plays");
    const Image winner =
        src.font.render(kWinnerText, flat(src.colour(kWinnerInk), src.colour(kTextOutline)));
    atlas.add("WINNER", winner, winner.width() / 2, winner.height() / 2);

    atlas.comment("Panel contents, drawn at panel-relative points on the strip");
    for (int v = 0; v < kPlayers; ++v) {
        const PlayerLook& look = src.players[static_cast<std::size_t>(v)];
        const std::string n = std::to_string(v + 1);

        // The portrait: the player's own figure where the panel's crown lands, and its number.
        // The figure is painted a step lighter than in the sky (its body in the light tone),
        // as the darker tones sink into the navy panel; so the number, the portrait and the
        // stripe all show the player's one display colour.
        Image number(kPanelWidth, kStripHeight);
        const CentredImage& figure = heroes.portrait[static_cast<std::size_t>(v)];
        number.stamp(figure.image, kFigureX - figure.centreX,
                     kFigureY - kStripTop - figure.centreY);
        const Image digit = src.font.render(n, flat(look.light, src.colour(kTextOutline)));
        // Left of the figure, level with its middle.
        number.stamp(digit, kDigitLeft, kFigureY - kStripTop - digit.height() / 2);
        addPanelTile(atlas, "PLAYER_NUMBER_" + n, number, kNumberX, kNumberY);

        // The join prompt, light and dark for its blink.
        for (const bool light : {true, false}) {
            const Rgba key = light ? look.light : src.colour(kTextDim);
            const Rgba text = light ? src.colour(kTextBright) : src.colour(kTextDim);
            const Rgba quiet = light ? src.colour(kTextDim) : src.colour(kTextDimmer);
            Image prompt(kPanelWidth, kStripHeight);
            const Image first = line(src, {{"P" + n + " ", key}, {"PRESS " + look.startKey, text}});
            const Image second = line(src, {{"TO JOIN", quiet}});
            prompt.stamp(first, (kPanelWidth - first.width()) / 2, kJoinFirstLine - 1);
            prompt.stamp(second, (kPanelWidth - second.width()) / 2, kJoinSecondLine - 1);
            addPanelTile(atlas, std::string("PLAYER_JOIN_") + (light ? "LIGHT_" : "DARK_") + n,
                         prompt, kJoinX, kJoinY);
        }
    }
}

} // namespace assetgen
