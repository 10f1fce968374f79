// The JSON writer: escaping, exact doubles and nested objects.
#include "json.h"

#include <cmath>
#include <cstdio>

namespace zindle::sim {

void appendNumber(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    out += buffer;
}

void appendString(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char buffer[8];
                std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                out += buffer;
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

void JsonObject::key(std::string_view name) {
    if (text_.size() > 1)
        text_ += ',';
    appendString(text_, name);
    text_ += ':';
}

JsonObject& JsonObject::number(std::string_view name, double value) {
    key(name);
    appendNumber(text_, value);
    return *this;
}

JsonObject& JsonObject::integer(std::string_view name, std::int64_t value) {
    key(name);
    text_ += std::to_string(value);
    return *this;
}

JsonObject& JsonObject::unsignedInteger(std::string_view name, std::uint64_t value) {
    key(name);
    text_ += std::to_string(value);
    return *this;
}

JsonObject& JsonObject::boolean(std::string_view name, bool value) {
    key(name);
    text_ += value ? "true" : "false";
    return *this;
}

JsonObject& JsonObject::string(std::string_view name, std::string_view value) {
    key(name);
    appendString(text_, value);
    return *this;
}

JsonObject& JsonObject::raw(std::string_view name, std::string_view value) {
    key(name);
    text_ += value;
    return *this;
}

} // namespace zindle::sim
