// Choosing what to send for a file of the web build, and whether the browser has it already.
#include "relay/static_representation.h"

#include <array>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <utility>

namespace zindle::relay {
namespace {

namespace fs = std::filesystem;

constexpr std::array<std::pair<std::string_view, std::string_view>, 2> kCopies{{
    {"br", ".br"},
    {"gzip", ".gz"},
}};

constexpr std::array<std::string_view, 7> kDays{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<std::string_view, 12> kMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

bool sameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// Calls each(item) for the comma-separated items of a header value, trimmed, empty ones left out.
template <class Each> void forEachItem(std::string_view list, Each each) {
    while (!list.empty()) {
        const std::size_t comma = list.find(',');
        const std::string_view item = trim(list.substr(0, comma));
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
        if (!item.empty())
            each(item);
    }
}

// The q value of one Accept-Encoding item's parameters; anything unreadable counts as 1, as a
// browser that names a coding means it.
bool refusedByQuality(std::string_view parameters) {
    std::size_t at = parameters.find("q=");
    if (at == std::string_view::npos)
        at = parameters.find("Q=");
    if (at == std::string_view::npos)
        return false;
    const std::string_view value = trim(parameters.substr(at + 2));
    // q=0, q=0.0, q=0.000: refused; any other digit after "0." or a leading 1 accepts.
    if (value.empty() || value.front() != '0')
        return false;
    for (const char c : value.substr(1)) {
        if (c == ';' || c == ' ')
            break;
        if (c != '.' && c != '0')
            return false;
    }
    return true;
}

std::int64_t secondsOf(fs::file_time_type time) {
    const auto system = std::chrono::file_clock::to_sys(time);
    return std::chrono::duration_cast<std::chrono::seconds>(system.time_since_epoch()).count();
}

std::int64_t nanosecondsOf(fs::file_time_type time) {
    const auto system = std::chrono::file_clock::to_sys(time);
    return std::chrono::duration_cast<std::chrono::nanoseconds>(system.time_since_epoch()).count();
}

std::string_view opaque(std::string_view tag) {
    tag = trim(tag);
    if (tag.starts_with("W/"))
        tag.remove_prefix(2);
    return tag;
}

} // namespace

bool acceptsEncoding(std::string_view acceptEncoding, std::string_view coding) {
    std::optional<bool> named;
    std::optional<bool> star;
    forEachItem(acceptEncoding, [&](std::string_view item) {
        const std::size_t semicolon = item.find(';');
        const std::string_view name = trim(item.substr(0, semicolon));
        const bool accepted =
            semicolon == std::string_view::npos || !refusedByQuality(item.substr(semicolon + 1));
        if (sameLetters(name, coding))
            named = accepted;
        else if (name == "*")
            star = accepted;
    });
    return named.value_or(star.value_or(false));
}

std::optional<StaticRepresentation> representationFor(const fs::path& root, const fs::path& file,
                                                      std::string_view acceptEncoding) {
    std::error_code error;
    const fs::file_time_type modified = fs::last_write_time(file, error);
    if (error)
        return std::nullopt;
    StaticRepresentation chosen;
    chosen.file = file;
    chosen.size = fs::file_size(file, error);
    if (error)
        return std::nullopt;
    for (const auto& [encoding, suffix] : kCopies) {
        fs::path copy = file;
        copy += suffix;
        // The copy must be a file beside this one (not a link elsewhere), made from this version.
        const fs::path real = fs::canonical(copy, error);
        if (error || real != copy || !real.string().starts_with(root.string()) ||
            !fs::is_regular_file(real, error) || fs::last_write_time(real, error) < modified ||
            error)
            continue;
        chosen.hasCompressedCopies = true;
        if (!chosen.encoding.empty() || !acceptsEncoding(acceptEncoding, encoding))
            continue;
        const std::uintmax_t size = fs::file_size(real, error);
        if (error)
            continue;
        chosen.file = real;
        chosen.encoding = encoding;
        chosen.size = size;
    }
    char tag[96];
    std::snprintf(tag, sizeof tag, "\"%llx-%llx%s%.*s\"",
                  static_cast<unsigned long long>(nanosecondsOf(modified)),
                  static_cast<unsigned long long>(fs::file_size(file, error)),
                  chosen.encoding.empty() ? "" : "-", static_cast<int>(chosen.encoding.size()),
                  chosen.encoding.data());
    chosen.etag = tag;
    chosen.lastModified = formatHttpDate(secondsOf(modified));
    return chosen;
}

bool notModified(const StaticRepresentation& representation, std::string_view ifNoneMatch,
                 std::string_view ifModifiedSince) {
    if (!trim(ifNoneMatch).empty()) {
        bool matched = false;
        forEachItem(ifNoneMatch, [&](std::string_view tag) {
            matched = matched || tag == "*" || opaque(tag) == representation.etag;
        });
        return matched;
    }
    const auto since = parseHttpDate(ifModifiedSince);
    const auto modified = parseHttpDate(representation.lastModified);
    return since && modified && *modified <= *since;
}

std::optional<std::int64_t> parseHttpDate(std::string_view text) {
    text = trim(text);
    // "Sun, 06 Nov 1994 08:49:37 GMT": exactly 29 characters.
    if (text.size() != 29 || text.substr(3, 2) != ", " || text.substr(25) != " GMT")
        return std::nullopt;
    const auto number = [&](std::size_t at, std::size_t digits) -> std::optional<int> {
        int value = 0;
        for (std::size_t i = at; i < at + digits; ++i) {
            if (!std::isdigit(static_cast<unsigned char>(text[i])))
                return std::nullopt;
            value = value * 10 + (text[i] - '0');
        }
        return value;
    };
    std::optional<int> month;
    for (std::size_t m = 0; m < kMonths.size(); ++m)
        if (text.substr(8, 3) == kMonths[m])
            month = static_cast<int>(m);
    const auto day = number(5, 2), year = number(12, 4), hour = number(17, 2),
               minute = number(20, 2), second = number(23, 2);
    if (!month || !day || !year || !hour || !minute || !second || text[7] != ' ' ||
        text[11] != ' ' || text[16] != ' ' || text[19] != ':' || text[22] != ':' || *day < 1 ||
        *day > 31 || *hour > 23 || *minute > 59 || *second > 60)
        return std::nullopt;
    const std::chrono::year_month_day date{std::chrono::year(*year),
                                           std::chrono::month(static_cast<unsigned>(*month + 1)),
                                           std::chrono::day(static_cast<unsigned>(*day))};
    if (!date.ok())
        return std::nullopt;
    const std::int64_t days = std::chrono::sys_days(date).time_since_epoch().count();
    return days * 86400 + *hour * 3600 + *minute * 60 + *second;
}

std::string formatHttpDate(std::int64_t secondsSince1970) {
    const std::chrono::sys_seconds at{std::chrono::seconds(secondsSince1970)};
    const auto days = std::chrono::floor<std::chrono::days>(at);
    const std::chrono::year_month_day date{days};
    const std::chrono::hh_mm_ss time{at - days};
    const std::chrono::weekday weekday{days};
    char text[40];
    std::snprintf(text, sizeof text, "%.3s, %02u %.3s %04d %02d:%02d:%02d GMT",
                  kDays[weekday.c_encoding()].data(), static_cast<unsigned>(date.day()),
                  kMonths[static_cast<unsigned>(date.month()) - 1].data(),
                  static_cast<int>(date.year()), static_cast<int>(time.hours().count()),
                  static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    return text;
}

} // namespace zindle::relay
