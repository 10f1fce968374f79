// Reading every art source once (palettes, grids, the font), and painting a grid block into
// a picture with its centre.
#include "art/art_sources.h"

#include <stdexcept>

namespace assetgen {

ArtSources ArtSources::load(const std::filesystem::path& folder) {
    ArtSources src{
        folder, Palette::load(folder / "palette.txt"), PixelFont::load(folder / "font.txt"), {}};
    bool seen[kPlayers] = {};
    // player N LIGHT BASE SHADE SUPERLIGHT SUPERBASE SUPERSHADE START LEFT RIGHT
    for (const TextLine& line : readTextLines(folder / "players.txt")) {
        if (line.words.size() != 11 || line.words[0] != "player") {
            throw std::runtime_error(line.where +
                                     ": expected player N L B S SL SB SS START LEFT RIGHT");
        }
        const std::string& number = line.words[1];
        const int n = number.size() == 1 ? number[0] - '0' : 0;
        if (n < 1 || n > kPlayers || seen[n - 1]) {
            throw std::runtime_error(line.where + ": bad or repeated player number");
        }
        seen[n - 1] = true;
        PlayerLook& look = src.players[static_cast<std::size_t>(n - 1)];
        for (int i = 0; i < 3; ++i) {
            const std::string& normal = line.words[static_cast<std::size_t>(2 + i)];
            const std::string& bright = line.words[static_cast<std::size_t>(5 + i)];
            if (normal.size() != 1 || bright.size() != 1 || !src.palette.has(normal[0]) ||
                !src.palette.has(bright[0])) {
                throw std::runtime_error(line.where + ": colours are palette symbols");
            }
            look.ramp[static_cast<char>('1' + i)] = normal[0];
            look.superRamp[static_cast<char>('1' + i)] = bright[0];
        }
        look.light = src.palette.colour(look.ramp['1'], line.where);
        look.base = src.palette.colour(look.ramp['2'], line.where);
        look.shade = src.palette.colour(look.ramp['3'], line.where);
        look.startKey = line.words[8];
        look.steerKeys = line.words[9] + " " + line.words[10];
    }
    for (bool s : seen) {
        if (!s) {
            throw std::runtime_error("players.txt must describe all four players");
        }
    }
    return src;
}

CentredImage paintCentred(const GridBlock& block, std::size_t first, const Palette& palette,
                          const SymbolSwap& swap) {
    CentredImage out{paint(block, palette, swap), 0, 0};
    const auto read = [&](std::size_t i, int size) {
        return block.arg(i) == "mid" ? size / 2 : block.intArg(i);
    };
    out.centreX = read(first, out.image.width());
    out.centreY = read(first + 1, out.image.height());
    return out;
}

} // namespace assetgen
