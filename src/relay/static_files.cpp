// Serving the web build safely: decode the target once, refuse anything that could name a place
// outside the folder, then check the real path the operating system resolves to.
#include "relay/static_files.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <optional>
#include <string>
#include <utility>

namespace zindle::relay {
namespace {

constexpr std::size_t kMaxTargetBytes = 1024;
// A web build lists a few dozen files; a list far longer is not one.
constexpr std::size_t kMaxPublishedFiles = 4096;
constexpr std::size_t kMaxPublishedPathBytes = 512;

std::optional<int> hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return std::nullopt;
}

std::optional<std::string> percentDecode(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const auto high = hexValue(text[i + 1]);
        const auto low = hexValue(text[i + 2]);
        if (!high || !low)
            return std::nullopt;
        out += static_cast<char>(*high * 16 + *low);
        i += 2;
    }
    return out;
}

bool isInside(const std::filesystem::path& root, const std::filesystem::path& file) {
    auto [rootEnd, fileAt] = std::mismatch(root.begin(), root.end(), file.begin(), file.end());
    return rootEnd == root.end();
}

} // namespace

std::variant<std::filesystem::path, StaticRefusal>
resolveStaticFile(const std::filesystem::path& root, std::string_view target) {
    if (target.empty() || target.front() != '/' || target.size() > kMaxTargetBytes)
        return StaticRefusal::BadRequest;
    target = target.substr(0, target.find_first_of("?#"));
    const std::optional<std::string> decoded = percentDecode(target);
    if (!decoded)
        return StaticRefusal::BadRequest;
    std::string relative;
    std::string_view rest = *decoded;
    // Segment by segment: no "..", no ".", no empty names other than a trailing slash, no NUL
    // or backslash that another layer might read differently.
    while (!rest.empty()) {
        rest.remove_prefix(1);
        const std::size_t end = rest.find('/');
        const std::string_view segment = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
        if (segment.empty() && rest.empty())
            break;
        if (segment.empty() || segment == "." || segment == ".." ||
            segment.find_first_of(std::string_view("\\\0", 2)) != std::string_view::npos)
            return StaticRefusal::BadRequest;
        if (!relative.empty())
            relative += '/';
        relative += segment;
    }
    std::filesystem::path file = root / relative;
    std::error_code error;
    if (std::filesystem::is_directory(file, error))
        file /= "index.html";
    const std::filesystem::path real = std::filesystem::canonical(file, error);
    if (error || !isInside(root, real) || !std::filesystem::is_regular_file(real, error))
        return StaticRefusal::NotFound;
    return real;
}

std::optional<PublishedFiles> PublishedFiles::load(const std::filesystem::path& root,
                                                   std::string& problem) {
    const std::filesystem::path listPath = root / kListName;
    std::ifstream list(listPath);
    if (!list) {
        problem = listPath.string() + " is missing: this folder is not a web build, and none of "
                                      "its files are served";
        return std::nullopt;
    }
    PublishedFiles published;
    std::string line;
    while (std::getline(list, line)) {
        if (line.empty())
            continue;
        if (line.size() > kMaxPublishedPathBytes || published.paths_.size() >= kMaxPublishedFiles) {
            problem = listPath.string() + " is not a list of a web build's files";
            return std::nullopt;
        }
        published.paths_.insert(line);
    }
    return published;
}

bool PublishedFiles::contains(const std::filesystem::path& root,
                              const std::filesystem::path& file) const {
    return paths_.contains(file.lexically_relative(root).generic_string());
}

std::optional<UnreadableFiles> unreadablePublishedFiles(const std::filesystem::path& root,
                                                        const PublishedFiles& published) {
    UnreadableFiles unreadable;
    for (const std::string& path : published.paths()) {
        std::error_code error;
        if (!std::filesystem::exists(root / path, error) && !error)
            continue; // not built (yet): a 404 is the honest answer
        if (std::ifstream(root / path))
            continue;
        if (unreadable.count++ == 0)
            unreadable.first = path;
    }
    if (unreadable.count == 0)
        return std::nullopt;
    return unreadable;
}

std::string_view contentTypeFor(const std::filesystem::path& file) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 14> kTypes{{
        {".html", "text/html; charset=utf-8"},
        {".js", "text/javascript; charset=utf-8"},
        {".mjs", "text/javascript; charset=utf-8"},
        {".wasm", "application/wasm"},
        {".css", "text/css; charset=utf-8"},
        {".json", "application/json"},
        {".data", "application/octet-stream"},
        {".png", "image/png"},
        {".webp", "image/webp"},
        {".gif", "image/gif"},
        {".svg", "image/svg+xml"},
        {".ico", "image/x-icon"},
        {".mp3", "audio/mpeg"},
        {".txt", "text/plain; charset=utf-8"},
    }};
    const std::string extension = file.extension().string();
    for (const auto& [suffix, type] : kTypes)
        if (extension == suffix)
            return type;
    return "application/octet-stream";
}

} // namespace zindle::relay
