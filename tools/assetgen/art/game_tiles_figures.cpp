// The heroes in all their poses and the arrows that point at a hero off screen.
#include "art/art_sources.h"
#include "art/atlas.h"
#include "framework/untrusted_text.h"

#include <algorithm>
#include <functional>
#include <stdexcept>

namespace assetgen {
namespace {

const char* const kPoses[] = {"UP", "FLOAT", "DOWN", "SUPERUP"};
constexpr int kSuperPose = 3;    // drawn from the UP pose with a halo
constexpr int kPortraitPose = 1; // FLOAT: the figure on the display
constexpr char kHaloInner = 'y'; // the ring right outside the figure's outline
constexpr char kHaloOuter = 'Z'; // a fainter ring around that

constexpr char kDigitInk = 'w';     // as the digits are drawn
constexpr char kDigitOnLight = 'k'; // what they become on a light arrow
constexpr double kLightArrowLuminance = 0.5;

double luminance(Rgba c) {
    return (0.299 * c.r + 0.587 * c.g + 0.114 * c.b) / 255.0;
}

const GridBlock& findBlock(const std::vector<GridBlock>& blocks, const std::string& keyword,
                           const std::string& name) {
    for (const GridBlock& b : blocks) {
        if (b.arg(0) == keyword && b.arg(1) == name) {
            return b;
        }
    }
    throw std::runtime_error("missing block: " + keyword + " " + zindle::quoteUntrusted(name));
}

// Moves a picture's centre along when the picture grows by margin on every side.
CentredImage grown(const Image& image, int centreX, int centreY, int margin) {
    return {image, centreX + margin, centreY + margin};
}

} // namespace

HeroFigures addHeroes(Atlas& atlas, const ArtSources& src) {
    const std::vector<GridBlock> blocks = src.blocks("heroes.txt");
    HeroFigures figures;
    for (int p = 0; p < kPlayers; ++p) {
        const PlayerLook& look = src.players[static_cast<std::size_t>(p)];
        const GridBlock& hat = findBlock(blocks, "hat", std::to_string(p + 1));
        for (int pose = 0; pose < 4; ++pose) {
            const bool super = pose == kSuperPose;
            const GridBlock& body = findBlock(blocks, "pose", super ? "UP" : kPoses[pose]);
            const SymbolSwap& ramp = super ? look.superRamp : look.ramp;
            Image figure = paint(body, src.palette, ramp);
            figure.stamp(paint(hat, src.palette, ramp), 0, 0);
            CentredImage& out =
                figures.right[static_cast<std::size_t>(p)][static_cast<std::size_t>(pose)];
            out = {figure, figure.width() / 2, figure.height() / 2};
            if (super) {
                Image halo = outlined(figure, src.colour(kHaloInner));
                halo = outlined(halo, src.colour(kHaloOuter));
                out = grown(halo, out.centreX, out.centreY, 2);
            }
        }
    }
    for (int p = 0; p < kPlayers; ++p) {
        const PlayerLook& look = src.players[static_cast<std::size_t>(p)];
        const GridBlock& hat = findBlock(blocks, "hat", std::to_string(p + 1));
        const SymbolSwap lifted = {
            {'1', look.ramp.at('1')}, {'2', look.ramp.at('1')}, {'3', look.ramp.at('2')}};
        Image figure = paint(findBlock(blocks, "pose", kPoses[kPortraitPose]), src.palette, lifted);
        figure.stamp(paint(hat, src.palette, lifted), 0, 0);
        figures.portrait[static_cast<std::size_t>(p)] = {figure, figure.width() / 2,
                                                         figure.height() / 2};
    }
    atlas.comment("Heroes: PLAYER_n_POSE_SIDE, centred on the hero");
    for (int p = 0; p < kPlayers; ++p) {
        for (int pose = 0; pose < 4; ++pose) {
            const CentredImage& f =
                figures.right[static_cast<std::size_t>(p)][static_cast<std::size_t>(pose)];
            const std::string stem = "PLAYER_" + std::to_string(p + 1) + "_" + kPoses[pose];
            // Pixel x lands on width - 1 - x, so the centre point, the corner between pixels
            // centreX - 1 and centreX, lands on width - centreX.
            atlas.add(stem + "_LEFT", f.image.mirrored(), f.image.width() - f.centreX, f.centreY);
            atlas.add(stem + "_RIGHT", f.image, f.centreX, f.centreY);
        }
    }
    return figures;
}

void addArrows(Atlas& atlas, const ArtSources& src) {
    const std::vector<GridBlock> blocks = src.blocks("arrows.txt");
    const GridBlock& straight = findBlock(blocks, "arrow", "STRAIGHT");
    const GridBlock& diagonal = findBlock(blocks, "arrow", "DIAGONAL");

    struct Direction {
        const char* suffix;
        bool diagonal;
        std::function<Image(const Image&)> turn; // from the drawn right or up-right arrow
    };
    const Direction directions[] = {
        {"_UP", false, [](const Image& i) { return i.rotatedLeft(); }},
        {"_DOWN", false, [](const Image& i) { return i.rotatedRight(); }},
        {"_LEFT", false, [](const Image& i) { return i.mirrored(); }},
        {"_RIGHT", false, [](const Image& i) { return i; }},
        {"_UP_LEFT", true, [](const Image& i) { return i.mirrored(); }},
        {"_UP_RIGHT", true, [](const Image& i) { return i; }},
        {"_DOWN_LEFT", true, [](const Image& i) { return i.mirrored().flipped(); }},
        {"_DOWN_RIGHT", true, [](const Image& i) { return i.flipped(); }},
    };

    atlas.comment("Off-screen arrows: ARROW_Pn_DIRECTION, centred on the clamped hero position");
    for (int p = 0; p < kPlayers; ++p) {
        const PlayerLook& look = src.players[static_cast<std::size_t>(p)];
        // Light digits on dark arrows, dark digits on light ones.
        const bool lightArrow = luminance(look.base) > kLightArrowLuminance;
        const Image digit =
            paint(findBlock(blocks, "digit", std::to_string(p + 1)), src.palette,
                  lightArrow ? SymbolSwap{{kDigitInk, kDigitOnLight}} : SymbolSwap{});
        for (const Direction& d : directions) {
            const GridBlock& drawn = d.diagonal ? diagonal : straight;
            const Image arrow = d.turn(paint(drawn, src.palette, look.ramp));
            // The number sits in the arrow's body, which moves as the arrow turns: turn a box
            // of the digit's size the same way and find where it lands.
            Image box(drawn.width(), drawn.height());
            const Rgba mark{0, 0, 0, 255};
            for (int y = 0; y < digit.height(); ++y) {
                for (int x = 0; x < digit.width(); ++x) {
                    box.set(drawn.intArg(2) + x, drawn.intArg(3) + y, mark);
                }
            }
            const Image turned = d.turn(box);
            int bx = turned.width(), by = turned.height(), ex = -1, ey = -1;
            for (int y = 0; y < turned.height(); ++y) {
                for (int x = 0; x < turned.width(); ++x) {
                    if (turned.at(x, y).a != 0) {
                        bx = std::min(bx, x);
                        by = std::min(by, y);
                        ex = std::max(ex, x);
                        ey = std::max(ey, y);
                    }
                }
            }
            // The digit stays upright: centre it in the turned box.
            Image tile = arrow;
            tile.stamp(digit, bx + (ex - bx + 1 - digit.width()) / 2,
                       by + (ey - by + 1 - digit.height()) / 2);
            atlas.add("ARROW_P" + std::to_string(p + 1) + d.suffix, tile, tile.width() / 2,
                      tile.height() / 2);
        }
    }
}

} // namespace assetgen
