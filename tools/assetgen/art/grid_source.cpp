// Reading the pixel-art text sources: lines, words, header lines and the grids under them, with
// errors that name the file and the line.
#include "art/grid_source.h"
#include "framework/untrusted_text.h"

#include <charconv>
#include <fstream>
#include <stdexcept>

namespace assetgen {
namespace {

std::vector<std::string> readLines(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path.string());
    }
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> splitWords(const std::string& line) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ') {
            ++i;
        }
        std::size_t j = i;
        while (j < line.size() && line[j] != ' ') {
            ++j;
        }
        if (j > i) {
            words.push_back(line.substr(i, j - i));
        }
        i = j;
    }
    return words;
}

bool isHeader(const std::string& line) {
    // Grid rows never contain spaces, headers always do (keyword and at least one argument)
    // or consist of a lower-case keyword alone.
    return line.find(' ') != std::string::npos;
}

} // namespace

const std::string& GridBlock::arg(std::size_t index) const {
    if (index >= header.size()) {
        throw std::runtime_error(where + ": header needs argument " + std::to_string(index));
    }
    return header[index];
}

int GridBlock::intArg(std::size_t index) const {
    const std::string& text = arg(index);
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) {
        throw std::runtime_error(where + ": not an integer: " + zindle::quoteUntrusted(text));
    }
    return value;
}

std::string TextLine::rest(std::size_t fromWord) const {
    std::size_t pos = 0;
    for (std::size_t i = 0; i <= fromWord && i < words.size(); ++i) {
        pos = raw.find(words[i], pos);
        if (i < fromWord) {
            pos += words[i].size();
        }
    }
    return fromWord < words.size() ? raw.substr(pos) : std::string();
}

std::vector<GridBlock> readGridFile(const std::filesystem::path& path) {
    const std::vector<std::string> lines = readLines(path);
    std::vector<GridBlock> blocks;
    bool inBlock = false;
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const std::string& line = lines[n];
        const std::string where = path.filename().string() + ":" + std::to_string(n + 1);
        if (!line.empty() && line[0] == '#') {
            continue;
        }
        if (line.empty()) {
            inBlock = false;
            continue;
        }
        if (isHeader(line)) {
            blocks.push_back(GridBlock{splitWords(line), {}, where});
            inBlock = true;
            continue;
        }
        if (!inBlock) {
            throw std::runtime_error(where + ": grid row outside a block");
        }
        GridBlock& block = blocks.back();
        if (!block.rows.empty() && line.size() != block.rows.front().size()) {
            throw std::runtime_error(where + ": row is " + std::to_string(line.size()) +
                                     " wide, the block's first row " +
                                     std::to_string(block.rows.front().size()));
        }
        block.rows.push_back(line);
    }
    return blocks;
}

std::vector<TextLine> readTextLines(const std::filesystem::path& path) {
    const std::vector<std::string> lines = readLines(path);
    std::vector<TextLine> out;
    for (std::size_t n = 0; n < lines.size(); ++n) {
        if (lines[n].empty() || lines[n][0] == '#') {
            continue;
        }
        TextLine line{splitWords(lines[n]), lines[n],
                      path.filename().string() + ":" + std::to_string(n + 1)};
        if (!line.words.empty()) {
            out.push_back(std::move(line));
        }
    }
    return out;
}

Rgba parseHexColour(const std::string& text, const std::string& where) {
    if (text.size() != 6 && text.size() != 8) {
        throw std::runtime_error(where + ": colour must be RRGGBB or RRGGBBAA: " + text);
    }
    std::uint8_t bytes[4] = {0, 0, 0, 255};
    for (std::size_t i = 0; i < text.size() / 2; ++i) {
        unsigned value = 0;
        const char* begin = text.data() + i * 2;
        const auto [end, ec] = std::from_chars(begin, begin + 2, value, 16);
        if (ec != std::errc() || end != begin + 2) {
            throw std::runtime_error(where + ": bad colour " + text);
        }
        bytes[i] = static_cast<std::uint8_t>(value);
    }
    return Rgba{bytes[0], bytes[1], bytes[2], bytes[3]};
}

Palette Palette::load(const std::filesystem::path& path) {
    Palette palette;
    for (const TextLine& line : readTextLines(path)) {
        if (line.words.size() < 2 || line.words[0].size() != 1) {
            throw std::runtime_error(line.where + ": expected SYMBOL RRGGBB[AA]");
        }
        const char symbol = line.words[0][0];
        if (symbol == '.' || palette.colours_.count(symbol) != 0) {
            throw std::runtime_error(line.where + ": symbol defined twice: " + line.words[0]);
        }
        palette.colours_[symbol] = parseHexColour(line.words[1], line.where);
    }
    return palette;
}

Rgba Palette::colour(char symbol, const std::string& where) const {
    if (symbol == '.') {
        return {};
    }
    const auto it = colours_.find(symbol);
    if (it == colours_.end()) {
        throw std::runtime_error(where + ": symbol not in the palette: " + std::string(1, symbol));
    }
    return it->second;
}

Image paint(const GridBlock& block, const Palette& palette, const SymbolSwap& swap) {
    Image image(block.width(), block.height());
    for (int y = 0; y < block.height(); ++y) {
        for (int x = 0; x < block.width(); ++x) {
            char symbol = block.rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)];
            if (const auto it = swap.find(symbol); it != swap.end()) {
                symbol = it->second;
            }
            image.set(x, y, palette.colour(symbol, block.where));
        }
    }
    return image;
}

} // namespace assetgen
