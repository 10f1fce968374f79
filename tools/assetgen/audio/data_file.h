#pragma once
// The text format of the effect presets and the music scores: sections of "key = value" lines
// and free lines, so that a change to a sound is a one-line diff.
//
//   # a comment runs to the end of the line
//   [section name]
//   key = value
//   any other line is kept as it is, split into words
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace assetgen::audio {

struct DataLine {
    int number = 0;                 // 1-based line in the file, for error messages
    std::vector<std::string> words; // the line split at white space
};

struct DataSection {
    std::string name;                          // the text between the brackets, trimmed
    int line = 0;                              // where the header stands
    std::map<std::string, std::string> values; // the "key = value" lines
    std::vector<DataLine> lines;               // every other non-empty line, in order
};

struct DataFile {
    std::filesystem::path path;
    std::vector<DataSection> sections; // in file order

    // Reads and splits the file; throws std::runtime_error naming the file and line on a
    // line outside any section or a file that cannot be read.
    static DataFile read(const std::filesystem::path& path);

    // Every section whose name starts with the given word, in file order.
    std::vector<const DataSection*> sectionsOfKind(const std::string& kind) const;
};

// Typed access to a section's values; each throws std::runtime_error naming the key and
// section when the value is present but malformed. A missing key gives the fallback.
double numberValue(const DataSection& section, const std::string& key, double fallback);
std::string textValue(const DataSection& section, const std::string& key,
                      const std::string& fallback);

// The text split at white space.
std::vector<std::string> splitWords(const std::string& text);

// A decimal number, throwing std::runtime_error with the context on anything else.
double parseNumber(const std::string& text, const std::string& context);

} // namespace assetgen::audio
