#pragma once
// The text sources of the pixel art: a palette of one-character colour symbols, and blocks of
// character grids under a header line. Both are meant to be read and edited by hand.
//
//   # a comment (a '#' in the first column)
//   tile CROWN 5 14        <- header: keyword and arguments, separated by spaces
//   ..k.k.k..              <- grid rows, one character per pixel
//   .kykykyk.
//                          <- an empty line (or the next header) ends the block
#include "common/image.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace assetgen {

struct GridBlock {
    std::vector<std::string> header; // keyword first
    std::vector<std::string> rows;   // all of the same width
    std::string where;               // "file:line" of the header, for error messages

    int width() const { return rows.empty() ? 0 : static_cast<int>(rows.front().size()); }
    int height() const { return static_cast<int>(rows.size()); }
    // The header argument at index (1 = first after the keyword); throws when missing.
    const std::string& arg(std::size_t index) const;
    int intArg(std::size_t index) const;
};

// Reads every block of a grid file. Rows of unequal width and rows outside a block are errors.
std::vector<GridBlock> readGridFile(const std::filesystem::path& path);
// The lines of a text file without comments and empty lines, split at spaces; "where" as above.
struct TextLine {
    std::vector<std::string> words;
    std::string raw; // the whole line as written
    std::string where;
    // The line from word fromWord on, exactly as written (runs of spaces kept).
    std::string rest(std::size_t fromWord) const;
};
std::vector<TextLine> readTextLines(const std::filesystem::path& path);

class Palette {
public:
    // Lines "SYMBOL RRGGBB" or "SYMBOL RRGGBBAA"; '.' is always transparent.
    static Palette load(const std::filesystem::path& path);

    Rgba colour(char symbol, const std::string& where) const;
    bool has(char symbol) const { return symbol == '.' || colours_.count(symbol) != 0; }

private:
    std::map<char, Rgba> colours_;
};

// Symbols replaced before colouring: how one drawn figure becomes four players.
using SymbolSwap = std::map<char, char>;

// Paints a grid with the palette, after applying the swap to every symbol.
Image paint(const GridBlock& block, const Palette& palette, const SymbolSwap& swap = {});

// Parses "RRGGBB" or "RRGGBBAA"; throws on anything else.
Rgba parseHexColour(const std::string& text, const std::string& where);

} // namespace assetgen
