// The title atlas: the title picture (whole, and as the two halves that slide apart), the
// blinking start prompt and the trims along the split. The picture is composed from the
// commands in title.txt, with our own font and the game's own figures and clouds.
#include "art/art_sources.h"
#include "art/atlas.h"

#include <cmath>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace assetgen {
namespace {

constexpr int kWidth = 480;         // px, the screen
constexpr int kHeight = 320;        // px
constexpr int kSplitRow = 183;      // first row of the lower half; the halves slide 183 and 137 px
constexpr int kRainbowBandStep = 3; // px between neighbouring bands, as in the game
constexpr double kPi = 3.14159265358979323846;

// Ordered dither thresholds (4x4 Bayer matrix, in sixteenths), for the sky gradients.
constexpr int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

char symbolArg(const TextLine& line, std::size_t i, const ArtSources& src) {
    if (i >= line.words.size() || line.words[i].size() != 1 || !src.palette.has(line.words[i][0])) {
        throw std::runtime_error(line.where + ": argument " + std::to_string(i) +
                                 " must be a palette symbol");
    }
    return line.words[i][0];
}

int intArg(const TextLine& line, std::size_t i) {
    if (i >= line.words.size()) {
        throw std::runtime_error(line.where + ": missing argument " + std::to_string(i));
    }
    try {
        return std::stoi(line.words[i]);
    } catch (const std::exception&) {
        throw std::runtime_error(line.where + ": not an integer: " + line.words[i]);
    }
}

// ... SCALE COLOURS OUTLINE SHADOW WORDS...: a line of the font. COLOURS is a run of palette
// symbols, the ink from the glyphs' top to their foot; OUTLINE and SHADOW may be '.' for none.
Image styledText(const TextLine& line, std::size_t first, const ArtSources& src) {
    TextStyle style;
    style.scale = intArg(line, first);
    if (first + 1 >= line.words.size()) {
        throw std::runtime_error(line.where + ": missing ink colours");
    }
    for (const char symbol : line.words[first + 1]) {
        style.bands.push_back(src.palette.colour(symbol, line.where));
    }
    style.outline = src.palette.colour(symbolArg(line, first + 2, src), line.where);
    style.outlineWidth = std::max(1, style.scale / 2);
    style.shadow = src.palette.colour(symbolArg(line, first + 3, src), line.where);
    style.shadowDepth = std::max(1, style.scale / 2);
    return src.font.render(line.rest(first + 4), style);
}

// A prompt's two blinking phases, placed on the screen.
struct Prompt {
    Image bright, dark;
    int x = 0, y = 0;
};

// A patch drawn over part of the title where a device needs other words there.
struct Overlay {
    std::string name;
    Image image;
    int x = 0, y = 0;
};

struct Scene {
    Image title{kWidth, kHeight};
    Prompt start;      // keys
    Prompt touchStart; // touch screens
    std::vector<Overlay> overlays;
};

Scene compose(const ArtSources& src, const HeroFigures& heroes) {
    Scene scene;
    // Drawn game tiles the title may show, enlarged.
    std::map<std::string, Image> sprites;
    for (const char* file : {"clouds.txt", "items.txt", "particles.txt"}) {
        for (const GridBlock& b : src.blocks(file)) {
            sprites[b.arg(1)] = paint(b, src.palette);
        }
    }
    for (const TextLine& line : readTextLines(src.folder / "title.txt")) {
        const std::string& command = line.words[0];
        if (command == "gradient") {
            // gradient TOP BOTTOM FROM TO: dithered blend between two colours down the rows.
            const int y0 = intArg(line, 1), y1 = intArg(line, 2);
            const Rgba from = src.palette.colour(symbolArg(line, 3, src), line.where);
            const Rgba to = src.palette.colour(symbolArg(line, 4, src), line.where);
            for (int y = y0; y < y1; ++y) {
                const int level = (y - y0) * 17 / std::max(1, y1 - y0); // 0..16
                for (int x = 0; x < kWidth; ++x) {
                    scene.title.set(x, y, level > kBayer[y % 4][x % 4] ? to : from);
                }
            }
        } else if (command == "sprite") {
            // sprite NAME CENTREX CENTREY SCALE
            const auto it = sprites.find(line.words.at(1));
            if (it == sprites.end()) {
                throw std::runtime_error(line.where + ": no such drawn tile");
            }
            const Image big = it->second.scaled(intArg(line, 4));
            scene.title.blendStamp(big, intArg(line, 2) - big.width() / 2,
                                   intArg(line, 3) - big.height() / 2);
        } else if (command == "rainbow") {
            // rainbow CENTREX CENTREY RADIUS SCALE: the upper half of a ring of the game's
            // rainbow bands, pink outermost, as a winner's ribbon lays them.
            const int cx = intArg(line, 1), cy = intArg(line, 2), radius = intArg(line, 3);
            const int scale = intArg(line, 4);
            const char* const bands[] = {"RAINBOW_BLUE", "RAINBOW_GREEN", "RAINBOW_YELLOW",
                                         "RAINBOW_ORANGE", "RAINBOW_PINK"};
            for (int i = 0; i < 5; ++i) {
                const Image band = sprites.at(bands[i]).scaled(scale);
                const double r = radius + (i - 2) * kRainbowBandStep * scale;
                const int steps = static_cast<int>(r * kPi / scale);
                for (int k = 0; k <= steps; ++k) {
                    const double a = kPi * k / steps;
                    const int x = static_cast<int>(std::lround(cx - r * std::cos(a)));
                    const int y = static_cast<int>(std::lround(cy - r * std::sin(a)));
                    scene.title.stamp(band, x - band.width() / 2, y - band.height() / 2);
                }
            }
        } else if (command == "hero") {
            // hero PLAYER POSE(0 up, 1 float, 2 down, 3 super) LEFT|RIGHT CENTREX CENTREY SCALE
            const int player = intArg(line, 1), pose = intArg(line, 2);
            if (player < 1 || player > kPlayers || pose < 0 || pose > 3) {
                throw std::runtime_error(line.where + ": bad player or pose");
            }
            Image figure =
                heroes.right[static_cast<std::size_t>(player - 1)][static_cast<std::size_t>(pose)]
                    .image;
            if (line.words.at(3) == "LEFT") {
                figure = figure.mirrored();
            }
            figure = figure.scaled(intArg(line, 6));
            scene.title.blendStamp(figure, intArg(line, 4) - figure.width() / 2,
                                   intArg(line, 5) - figure.height() / 2);
        } else if (command == "text") {
            // text CENTREX TOP SCALE ...
            const Image text = styledText(line, 3, src);
            scene.title.stamp(text, intArg(line, 1) - text.width() / 2, intArg(line, 2));
        } else if (command == "plate") {
            // plate LEFT TOP RIGHT BOTTOM FILL EDGE: a panel behind small print, so that it
            // reads over the clouds; its corners are cut by one pixel.
            const int x0 = intArg(line, 1), y0 = intArg(line, 2);
            const int x1 = intArg(line, 3), y1 = intArg(line, 4);
            const Rgba fill = src.palette.colour(symbolArg(line, 5, src), line.where);
            const Rgba edge = src.palette.colour(symbolArg(line, 6, src), line.where);
            for (int y = y0; y < y1; ++y) {
                for (int x = x0; x < x1; ++x) {
                    const bool rim = x == x0 || y == y0 || x == x1 - 1 || y == y1 - 1;
                    const bool corner = (x == x0 || x == x1 - 1) && (y == y0 || y == y1 - 1);
                    if (!corner && scene.title.contains(x, y)) {
                        scene.title.set(x, y, rim ? edge : fill);
                    }
                }
            }
        } else if (command == "start") {
            // start [touch-]bright|[touch-]dark CENTREX TOP SCALE ...: a prompt, a tile of its
            // own.
            const std::string& phase = line.words.at(1);
            const bool touch = phase.starts_with("touch-");
            Prompt& prompt = touch ? scene.touchStart : scene.start;
            const Image text = styledText(line, 4, src);
            prompt.x = intArg(line, 2) - text.width() / 2;
            prompt.y = intArg(line, 3);
            (phase.ends_with("bright") ? prompt.bright : prompt.dark) = text;
        } else if (command == "overlay") {
            // overlay NAME LEFT TOP RIGHT BOTTOM FILL CENTREX TEXTTOP SCALE ...: words on a
            // patch of one colour, a tile of its own drawn over that part of the title.
            const int x0 = intArg(line, 2), y0 = intArg(line, 3);
            const int x1 = intArg(line, 4), y1 = intArg(line, 5);
            if (x1 <= x0 || y1 <= y0) {
                throw std::runtime_error(line.where + ": empty overlay");
            }
            Image patch(x1 - x0, y1 - y0);
            const Rgba fill = src.palette.colour(symbolArg(line, 6, src), line.where);
            for (int y = 0; y < patch.height(); ++y) {
                for (int x = 0; x < patch.width(); ++x) {
                    patch.set(x, y, fill);
                }
            }
            const Image text = styledText(line, 9, src);
            patch.stamp(text, intArg(line, 7) - x0 - text.width() / 2, intArg(line, 8) - y0);
            scene.overlays.push_back({line.words.at(1), patch, x0, y0});
        } else {
            throw std::runtime_error(line.where + ": unknown command " + command);
        }
    }
    for (const Prompt* prompt : {&scene.start, &scene.touchStart}) {
        if (prompt->bright.width() == 0 || prompt->dark.width() == 0) {
            throw std::runtime_error("title.txt needs a bright and a dark line of each prompt");
        }
    }
    return scene;
}

// A trim along the split: the drawn pattern repeated across the screen.
Image trim(const GridBlock& block, const ArtSources& src) {
    const Image pattern = paint(block, src.palette);
    Image out(kWidth, pattern.height());
    for (int x = 0; x < kWidth; x += pattern.width()) {
        out.stamp(pattern, x, 0);
    }
    return out;
}

} // namespace

void writeTitleAtlas(const ArtSources& src, const HeroFigures& heroes,
                     const std::filesystem::path& output) {
    const Scene scene = compose(src, heroes);
    Atlas atlas(kWidth);
    atlas.comment("The title picture, drawn at (0, 0)");
    atlas.add("TITLE", scene.title, 0, 0);
    atlas.comment("The start prompt, drawn at (0, 0) over the title while it is shown");
    atlas.add("START_BRIGHT", scene.start.bright, -scene.start.x, -scene.start.y);
    atlas.add("START_DARK", scene.start.dark, -scene.start.x, -scene.start.y);
    atlas.comment("The prompt on touch screens, in its place");
    atlas.add("START_TOUCH_BRIGHT", scene.touchStart.bright, -scene.touchStart.x,
              -scene.touchStart.y);
    atlas.add("START_TOUCH_DARK", scene.touchStart.dark, -scene.touchStart.x, -scene.touchStart.y);
    atlas.comment("Other words over parts of the title, drawn at (0, 0) with the lower half");
    for (const Overlay& overlay : scene.overlays) {
        atlas.add(overlay.name, overlay.image, -overlay.x, -overlay.y);
    }
    atlas.comment("The halves that slide apart, and the trims along their edges");
    atlas.addView("TITLE_UPPER", "TITLE", 0, 0, kWidth, kSplitRow, 0, 0);
    atlas.addView("TITLE_LOWER", "TITLE", 0, kSplitRow, kWidth, kHeight - kSplitRow, 0, -kSplitRow);
    bool upper = false, lower = false;
    for (const GridBlock& block : src.blocks("title_trims.txt")) {
        // trim UPPER|LOWER ROW: ROW is the screen row of the trim's top while the title is shut.
        const std::string& which = block.arg(1);
        if (block.arg(0) != "trim" || (which != "UPPER" && which != "LOWER")) {
            throw std::runtime_error(block.where + ": expected trim UPPER|LOWER ROW");
        }
        (which == "UPPER" ? upper : lower) = true;
        atlas.add(which + "_BORDER", trim(block, src), 0, -block.intArg(2));
    }
    if (!upper || !lower) {
        throw std::runtime_error("title_trims.txt needs an UPPER and a LOWER trim");
    }
    atlas.write(output, "title");
}

} // namespace assetgen
