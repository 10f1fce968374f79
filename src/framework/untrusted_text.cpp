// Escaping and cutting short the untrusted text that diagnostics repeat.
#include "framework/untrusted_text.h"

#include <cstdint>
#include <cstdio>

namespace zindle {

namespace {

// The length of the UTF-8 sequence at the start of text and its code point, or 0 when the
// bytes there are not a well-formed sequence (overlong forms and surrogates included).
std::size_t decodeUtf8(std::string_view text, char32_t& codePoint) {
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = 0;
    char32_t value = 0;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, value = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, value = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, value = lead & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (next & 0x3F);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    codePoint = value;
    return length;
}

// Characters that print nothing yet change how the rest of the line reads: C1 controls, line
// and paragraph separators, and the marks that reorder text.
bool invisible(char32_t c) {
    return c < 0xA0 || (c >= 0x200E && c <= 0x200F) || (c >= 0x2028 && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069) || c == 0xFEFF;
}

void appendEscapedByte(std::string& out, unsigned char byte) {
    switch (byte) {
    case '\n':
        out += "\\n";
        return;
    case '\r':
        out += "\\r";
        return;
    case '\t':
        out += "\\t";
        return;
    case '\\':
        out += "\\\\";
        return;
    default:
        break;
    }
    char escaped[5];
    std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
    out += escaped;
}

} // namespace

std::string quoteUntrusted(std::string_view text) {
    std::string out;
    std::size_t characters = 0;
    while (!text.empty()) {
        if (characters++ == kMaxQuotedCharacters) {
            out += "...";
            break;
        }
        const auto byte = static_cast<unsigned char>(text[0]);
        if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
            out += text[0];
            text.remove_prefix(1);
            continue;
        }
        char32_t codePoint = 0;
        const std::size_t length = byte >= 0x80 ? decodeUtf8(text, codePoint) : 0;
        if (length == 0) {
            appendEscapedByte(out, byte);
            text.remove_prefix(1);
        } else if (invisible(codePoint)) {
            char escaped[16];
            std::snprintf(escaped, sizeof escaped, "\\u{%x}", static_cast<unsigned>(codePoint));
            out += escaped;
            text.remove_prefix(length);
        } else {
            out.append(text.substr(0, length));
            text.remove_prefix(length);
        }
    }
    return out;
}

} // namespace zindle
