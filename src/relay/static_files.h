#pragma once
// Which file a request for the web page names, if any. The target is untrusted: it may not climb
// out of the folder by "..", by an encoded "..", or by a symbolic link that points outside.
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <variant>

namespace zindle::relay {

enum class StaticRefusal { BadRequest, NotFound };

// root must be canonical. "/" and folders serve their index.html.
std::variant<std::filesystem::path, StaticRefusal>
resolveStaticFile(const std::filesystem::path& root, std::string_view target);

// The files a web build publishes, by the list its build writes beside them. A build folder
// holds other files too (the build system's cache, its compile commands, with the machine's
// paths in them), which are nobody's business over the network.
class PublishedFiles {
public:
    static constexpr std::string_view kListName = "published-files.txt";
    // The list in root (canonical), or nothing with problem set to one line.
    static std::optional<PublishedFiles> load(const std::filesystem::path& root,
                                              std::string& problem);
    // file: a canonical path inside root.
    bool contains(const std::filesystem::path& root, const std::filesystem::path& file) const;
    const std::set<std::string>& paths() const { return paths_; }

private:
    std::set<std::string> paths_; // relative, with forward slashes
};

// The first published file this process cannot open for reading, and how many it cannot.
struct UnreadableFiles {
    std::string first;
    std::size_t count = 0;
};
std::optional<UnreadableFiles> unreadablePublishedFiles(const std::filesystem::path& root,
                                                        const PublishedFiles& published);

// The Content-Type for a file's name; the browser refuses to compile wasm served as anything
// other than application/wasm.
std::string_view contentTypeFor(const std::filesystem::path& file);

} // namespace zindle::relay
