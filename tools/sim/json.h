#pragma once
// A minimal JSON object writer for the tools' reports and traces. Numbers keep 17 significant
// digits so that a trace round-trips every double exactly; non-finite values become null.
#include <cstdint>
#include <string>
#include <string_view>

namespace zindle::sim {

// Appends the shortest text that reads back as exactly value (or "null").
void appendNumber(std::string& out, double value);
// Appends a quoted, escaped JSON string.
void appendString(std::string& out, std::string_view text);

// Builds one object: {"key":value,...}. Keys are written in call order.
class JsonObject {
public:
    JsonObject& number(std::string_view key, double value);
    JsonObject& integer(std::string_view key, std::int64_t value);
    // Seeds and other values that use all 64 bits.
    JsonObject& unsignedInteger(std::string_view key, std::uint64_t value);
    JsonObject& boolean(std::string_view key, bool value);
    JsonObject& string(std::string_view key, std::string_view value);
    // value must already be valid JSON (an array or a nested object).
    JsonObject& raw(std::string_view key, std::string_view value);
    std::string str() const { return text_ + "}"; }

private:
    void key(std::string_view name);
    std::string text_ = "{";
};

} // namespace zindle::sim
