#pragma once
// How a file of the web build is sent, once it is known which file: the copy compressed at
// build time that the browser accepts (Brotli before gzip), or the file itself; with a validator
// (ETag and Last-Modified) so that a browser that has it already is answered 304 without a body.
// The build's file names do not change between builds, so the browser must ask again each time
// (no-cache), and a 304 makes asking cheap.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zindle::relay {

struct StaticRepresentation {
    std::filesystem::path file;       // what is sent: the file or its compressed copy
    std::string_view encoding;        // "br", "gzip", or empty for the file itself
    std::uintmax_t size = 0;          // bytes of `file`
    std::string etag;                 // strong, quoted, different for each encoding
    std::string lastModified;         // the original file's time, as an HTTP date
    bool hasCompressedCopies = false; // the answer depends on Accept-Encoding (Vary)
};

// Whether an Accept-Encoding header value accepts a content coding (q=0 refuses it; "*"
// accepts whatever is not named).
bool acceptsEncoding(std::string_view acceptEncoding, std::string_view coding);

// What to send for `file` (canonical, inside the canonical `root`). A compressed copy is
// `file` + ".br" or ".gz" beside it; one that is older than the file, or that is not a regular
// file inside root, is stale or foreign and never sent. nullopt when the file cannot be read.
std::optional<StaticRepresentation> representationFor(const std::filesystem::path& root,
                                                      const std::filesystem::path& file,
                                                      std::string_view acceptEncoding);

// Whether a request's validators show that the browser already holds this representation.
// If-None-Match, when present, decides alone (weak comparison, "*" matches); otherwise an
// If-Modified-Since not earlier than the file's time does.
bool notModified(const StaticRepresentation& representation, std::string_view ifNoneMatch,
                 std::string_view ifModifiedSince);

// An HTTP date (IMF-fixdate, "Sun, 06 Nov 1994 08:49:37 GMT") as seconds since 1970, or
// nullopt when the text is not one.
std::optional<std::int64_t> parseHttpDate(std::string_view text);
std::string formatHttpDate(std::int64_t secondsSince1970);

} // namespace zindle::relay
