// The tile-list reader: a pure function over the text, so that it can be tested and fuzzed
// without an atlas or a media layer.
#include "render/tile_list.h"

#include "framework/untrusted_text.h"

#include <cstdint>
#include <limits>

namespace zindle {

namespace {

constexpr std::size_t kTileFields = 7; // NAME X Y WIDTH HEIGHT CENTREX CENTREY
// A hostile list must not turn into megabytes of warnings: each repeats a name only as
// quoteUntrusted allows, and a file gets at most so many before the rest are only counted.
constexpr std::size_t kMaxWarnings = 50; // per file

// Passes warnings on as they come, up to the limit, and counts the rest.
class Warnings {
public:
    Warnings(const TileWarningSink& sink, std::size_t& more) : sink_(sink), more_(more) {}

    // One line: text, the name (cut short if long, its controls escaped), then after.
    void operator()(std::string_view text, std::string_view name, std::string_view after = {}) {
        if (given_ == kMaxWarnings) {
            ++more_;
            return;
        }
        ++given_;
        std::string line(text);
        line += quoteUntrusted(name);
        line += after;
        sink_(line);
    }

private:
    const TileWarningSink& sink_;
    std::size_t& more_;
    std::size_t given_ = 0;
};

int digitValue(char c, int base) {
    int value = -1;
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    return value < base ? value : -1;
}

std::vector<std::string_view> split(std::string_view line, char separator) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = line.find(separator, start);
        if (end == std::string_view::npos) {
            fields.push_back(line.substr(start));
            return fields;
        }
        fields.push_back(line.substr(start, end - start));
        start = end + 1;
    }
}

std::string upperCase(std::string_view name) {
    std::string upper(name);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

// Computed wide, so that no sum of two fields can overflow.
bool insideAtlas(int x, int y, int width, int height, int atlasWidth, int atlasHeight) {
    const std::int64_t right = std::int64_t{x} + width;
    const std::int64_t bottom = std::int64_t{y} + height;
    return width >= 0 && height >= 0 && x >= 0 && y >= 0 && right <= atlasWidth &&
           bottom <= atlasHeight;
}

} // namespace

std::optional<int> parseTileInteger(std::string_view field) {
    std::size_t pos = 0;
    int base = 10;
    bool negative = false;
    if (field.size() >= 2 && field[0] == '0' && (field[1] == 'x' || field[1] == 'X') &&
        field.size() > 2 && digitValue(field[2], 16) >= 0) {
        base = 16;
        pos = 2;
    } else if (!field.empty() && (field[0] == '+' || field[0] == '-')) {
        negative = field[0] == '-';
        pos = 1;
    }

    // The magnitude may reach 2^31 for a negative number; anything larger does not fit.
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<int>::max()} + 1;
    std::int64_t magnitude = 0;
    bool anyDigit = false;
    bool tooLarge = false;
    for (; pos < field.size(); ++pos) {
        const int digit = digitValue(field[pos], base);
        if (digit < 0)
            break;
        anyDigit = true;
        if (!tooLarge) {
            magnitude = magnitude * base + digit;
            tooLarge = magnitude > kLimit;
        }
    }
    if (!anyDigit || tooLarge)
        return std::nullopt;
    if (negative)
        return static_cast<int>(-magnitude);
    if (magnitude > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(magnitude);
}

TileList readTileList(std::string_view text, int atlasWidth, int atlasHeight) {
    std::vector<std::string> warnings;
    TileList list =
        readTileList(text, atlasWidth, atlasHeight,
                     [&warnings](const std::string& line) { warnings.push_back(line); });
    list.warnings = std::move(warnings);
    return list;
}

TileList readTileList(std::string_view text, int atlasWidth, int atlasHeight,
                      const TileWarningSink& sink) {
    TileList list;
    Warnings warn(sink, list.moreWarnings);
    for (std::string_view line : split(text, '\n')) {
        if (line.empty() || line.front() == '#')
            continue;
        // Split at every single space: two spaces in a row make an empty field, which fails
        // below like any other broken number.
        const std::vector<std::string_view> fields = split(line, ' ');
        const std::string_view name = fields.front();
        if (fields.size() == 1)
            continue; // a lone word (or a lone carriage return) is not meant as a tile
        if (fields.size() < kTileFields) {
            warn("Warning: insufficient parameters specified for tile ", name);
            continue;
        }

        // Every field after the name is checked, even those beyond the seventh that are unused:
        // a line with stray words is more likely broken than meant.
        int numbers[kTileFields - 1] = {};
        bool broken = false;
        for (std::size_t i = 1; i < fields.size(); ++i) {
            const std::optional<int> value = parseTileInteger(fields[i]);
            if (!value) {
                warn("Warning: non-integer paramater specified for tile ", name);
                broken = true;
            } else if (i < kTileFields) {
                numbers[i - 1] = *value;
            }
        }
        if (broken) {
            warn("Warning: skipping tile due to broken parameter(s): ", name);
            continue;
        }

        const auto [x, y, width, height, centreX, centreY] = numbers;
        if (!insideAtlas(x, y, width, height, atlasWidth, atlasHeight)) {
            warn("Warning: tile ", name,
                 " lies outside its atlas (" + std::to_string(atlasWidth) + "x" +
                     std::to_string(atlasHeight) + "), skipped");
            continue;
        }
        list.tiles.push_back({upperCase(name),
                              {double(x), double(y), double(width), double(height)},
                              {double(centreX), double(centreY)}});
    }
    return list;
}

} // namespace zindle
