// Reading the presets' and scores' text format, and the typed look-ups of its values with errors
// that name the file, the section and the key.
#include "audio/data_file.h"
#include "framework/untrusted_text.h"

#include <cmath>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace assetgen::audio {
namespace {

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

} // namespace

std::vector<std::string> splitWords(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    std::string word;
    while (in >> word) {
        words.push_back(word);
    }
    return words;
}

DataFile DataFile::read(const std::filesystem::path& path) {
    std::ifstream in(path);
    if (!in) {
        throw std::runtime_error("cannot read " + path.string());
    }
    DataFile file;
    file.path = path;
    std::string raw;
    int number = 0;
    while (std::getline(in, raw)) {
        ++number;
        const std::string line = trim(raw.substr(0, raw.find('#')));
        if (line.empty()) {
            continue;
        }
        const std::string where = path.string() + ":" + std::to_string(number);
        if (line.front() == '[') {
            if (line.back() != ']') {
                throw std::runtime_error(where + ": section header without ']'");
            }
            file.sections.push_back({trim(line.substr(1, line.size() - 2)), number, {}, {}});
            continue;
        }
        if (file.sections.empty()) {
            throw std::runtime_error(where + ": line before the first [section]");
        }
        DataSection& section = file.sections.back();
        const auto equals = line.find('=');
        if (equals != std::string::npos) {
            const std::string key = trim(line.substr(0, equals));
            if (key.empty() || key.find(' ') != std::string::npos) {
                throw std::runtime_error(where + ": malformed key");
            }
            section.values[key] = trim(line.substr(equals + 1));
        } else {
            section.lines.push_back({number, splitWords(line)});
        }
    }
    return file;
}

std::vector<const DataSection*> DataFile::sectionsOfKind(const std::string& kind) const {
    std::vector<const DataSection*> found;
    for (const DataSection& section : sections) {
        const auto words = splitWords(section.name);
        if (!words.empty() && words.front() == kind) {
            found.push_back(&section);
        }
    }
    return found;
}

double parseNumber(const std::string& text, const std::string& context) {
    std::size_t used = 0;
    double value = 0.0;
    try {
        value = std::stod(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size() || !std::isfinite(value)) {
        throw std::runtime_error(context + ": \"" + zindle::quoteUntrusted(text) +
                                 "\" is not a number");
    }
    return value;
}

double numberValue(const DataSection& section, const std::string& key, double fallback) {
    const auto found = section.values.find(key);
    if (found == section.values.end()) {
        return fallback;
    }
    return parseNumber(found->second, "[" + section.name + "] " + key);
}

std::string textValue(const DataSection& section, const std::string& key,
                      const std::string& fallback) {
    const auto found = section.values.find(key);
    return found == section.values.end() ? fallback : found->second;
}

} // namespace assetgen::audio
