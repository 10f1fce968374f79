// Reading the input script and the random-number list, with one clear line per bad line.
#include "input_files.h"

#include "decimal.h"
#include "framework/stage.h"
#include "framework/untrusted_text.h"
#include "media/common/asset_file.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <sstream>

namespace zindle::sim {
namespace {

constexpr int kAxisMin = -32768; // the native joystick axis range
constexpr int kAxisMax = 32767;
constexpr int kKeyCodeMax = 255;                     // framework key codes fit in a byte
constexpr std::size_t kMaxInputFileBytes = 64 << 20; // bytes: hours of scripted input

[[noreturn]] void fail(const std::string& name, int line, const std::string& problem) {
    throw InputFileError(quoteUntrusted(name) + ":" + std::to_string(line) + ": " + problem);
}

std::vector<std::string> splitWords(const std::string& text) {
    std::istringstream words(text);
    std::vector<std::string> out;
    for (std::string word; words >> word;)
        out.push_back(word);
    return out;
}

bool parseInt(const std::string& word, int& out) {
    const char* end = word.data() + word.size();
    auto [ptr, ec] = std::from_chars(word.data(), end, out);
    return ec == std::errc() && ptr == end;
}

bool parseDouble(const std::string& word, double& out) {
    return parseDecimal(word, out);
}

// Reads word as an integer in [low, high] or stops with a message naming what it is.
int intField(const std::string& word, int low, int high, const char* what, const std::string& name,
             int line) {
    int value = 0;
    if (!parseInt(word, value) || value < low || value > high)
        fail(name, line,
             std::string(what) + " must be an integer from " + std::to_string(low) + " to " +
                 std::to_string(high) + ", not '" + quoteUntrusted(word) + "'");
    return value;
}

bool skippable(const std::string& text) {
    auto first = text.find_first_not_of(" \t\r");
    return first == std::string::npos || text[first] == '#';
}

ScriptEvent parseScriptLine(const std::vector<std::string>& words, const std::string& name,
                            int line) {
    ScriptEvent event;
    event.line = line;
    if (words.size() < 2)
        fail(name, line, "expected 'TIME EVENT ...'");
    if (!parseDouble(words[0], event.time) || event.time < 0)
        fail(name, line,
             "time must be a number of seconds, 0 or more, not '" + quoteUntrusted(words[0]) + "'");
    const std::string& kind = words[1];
    MediaEvent& record = event.record;
    auto expectCount = [&](std::size_t count, const char* usage) {
        if (words.size() != count)
            fail(name, line, std::string("expected '") + usage + "'");
    };
    if (kind == "keydown" || kind == "keyup") {
        if (words.size() < 3 || words.size() > 5)
            fail(name, line, "expected 'TIME " + kind + " CODE [ctrl] [alt]'");
        record.type = kind == "keydown" ? MediaEventType::KEY_DOWN : MediaEventType::KEY_UP;
        record.code = intField(words[2], 0, kKeyCodeMax, "key code", name, line);
        record.value = record.code;
        for (std::size_t i = 3; i < words.size(); ++i) {
            if (words[i] == "ctrl")
                record.flags |= Stage::efCtrlDown;
            else if (words[i] == "alt")
                record.flags |= Stage::efAltDown;
            else
                fail(name, line,
                     "unknown modifier '" + quoteUntrusted(words[i]) + "' (use ctrl or alt)");
        }
    } else if (kind == "axis") {
        expectCount(5, "TIME axis DEVICE AXIS VALUE");
        record.type = MediaEventType::JOY_AXIS;
        record.device = intField(words[2], 0, 255, "device", name, line);
        record.code = intField(words[3], 0, 255, "axis", name, line);
        record.value = intField(words[4], kAxisMin, kAxisMax, "axis value", name, line);
    } else if (kind == "buttondown" || kind == "buttonup") {
        expectCount(4, "TIME buttondown|buttonup DEVICE BUTTON");
        record.type =
            kind == "buttondown" ? MediaEventType::JOY_BUTTON_DOWN : MediaEventType::JOY_BUTTON_UP;
        record.device = intField(words[2], 0, 255, "device", name, line);
        record.code = intField(words[3], 0, 255, "button", name, line);
    } else {
        fail(name, line,
             "unknown event '" + quoteUntrusted(kind) +
                 "' (use keydown, keyup, axis, buttondown, buttonup)");
    }
    return event;
}

// The whole file through the same reader as the game's assets: a folder, a FIFO or a device
// named by mistake stops the tool with one line instead of running on with no input.
std::istringstream openOrFail(const std::string& path) {
    AssetFile file = readAssetFile(path, kMaxInputFileBytes);
    if (!file.bytes)
        throw InputFileError(quoteUntrusted(path) + ": cannot be read: " + file.problem);
    return std::istringstream(std::string(file.bytes->begin(), file.bytes->end()));
}

} // namespace

std::vector<ScriptEvent> parseScript(std::istream& in, const std::string& name) {
    std::vector<ScriptEvent> events;
    int line = 0;
    for (std::string text; std::getline(in, text);) {
        ++line;
        if (!skippable(text))
            events.push_back(parseScriptLine(splitWords(text), name, line));
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const ScriptEvent& a, const ScriptEvent& b) { return a.time < b.time; });
    return events;
}

std::vector<ScriptEvent> readScript(const std::string& path) {
    auto in = openOrFail(path);
    return parseScript(in, path);
}

std::vector<double> parseRandomNumbers(std::istream& in, const std::string& name) {
    std::vector<double> numbers;
    int line = 0;
    for (std::string text; std::getline(in, text);) {
        ++line;
        if (skippable(text))
            continue;
        auto words = splitWords(text);
        double value = 0;
        if (words.size() != 1 || !parseDouble(words[0], value) || value < 0 || value >= 1)
            fail(name, line, "expected one number from 0 up to (not including) 1");
        numbers.push_back(value);
    }
    return numbers;
}

std::vector<double> readRandomNumbers(const std::string& path) {
    auto in = openOrFail(path);
    return parseRandomNumbers(in, path);
}

} // namespace zindle::sim
