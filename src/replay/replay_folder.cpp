// The replay folder from the environment, the file names, and pruning by age and total size.
#include "replay/replay_folder.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <vector>

namespace zindle {
namespace {
constexpr const char* kAppFolder = "zindle-vs-pellorin";
constexpr const char* kPattern = "dddd-dd-dd_dd-dd-dd"; // d: a digit
} // namespace

std::filesystem::path replayFolderFor(const char* xdgDataHome, const char* home) {
    std::filesystem::path base;
    if (xdgDataHome && xdgDataHome[0] == '/')
        base = xdgDataHome;
    else if (home && home[0] == '/')
        base = std::filesystem::path(home) / ".local" / "share";
    else
        return {};
    return base / kAppFolder / "replays";
}

std::filesystem::path replayFolder() {
    return replayFolderFor(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
}

std::string replayFileName(std::time_t when, int attempt) {
    std::tm local{};
    localtime_r(&when, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &local);
    std::string name = stamp;
    if (attempt > 0) {
        name += '-';
        name += std::to_string(attempt);
    }
    return name + std::string(kReplayExtension);
}

bool isReplayFileName(const std::string& name, std::string_view extension) {
    const std::string pattern = kPattern;
    if (name.size() < pattern.size() + extension.size() || !name.ends_with(extension))
        return false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const bool digit = std::isdigit(static_cast<unsigned char>(name[i])) != 0;
        if (pattern[i] == 'd' ? !digit : name[i] != pattern[i])
            return false;
    }
    // An optional "-n" between the stamp and the extension.
    const std::string rest =
        name.substr(pattern.size(), name.size() - pattern.size() - extension.size());
    if (rest.empty())
        return true;
    return rest.size() >= 2 && rest[0] == '-' &&
           std::all_of(rest.begin() + 1, rest.end(),
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}

void pruneReplays(const std::filesystem::path& folder, const std::filesystem::path& keep,
                  std::size_t maxFiles, std::uintmax_t maxBytes, std::string_view extension) {
    struct Entry {
        std::filesystem::path path;
        std::filesystem::file_time_type time;
        std::uintmax_t size;
    };
    std::vector<Entry> entries;
    std::error_code ec;
    for (const auto& item : std::filesystem::directory_iterator(folder, ec)) {
        std::error_code itemError;
        if (!item.is_regular_file(itemError) ||
            !isReplayFileName(item.path().filename(), extension))
            continue;
        entries.push_back(
            {item.path(), item.last_write_time(itemError), item.file_size(itemError)});
        if (itemError)
            entries.pop_back();
    }
    // Newest first; the file being written before all of them, whatever its time says.
    std::sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
        const bool aKeep = a.path == keep, bKeep = b.path == keep;
        if (aKeep != bKeep)
            return aKeep;
        if (a.time != b.time)
            return a.time > b.time;
        return a.path.filename() > b.path.filename();
    });
    // Once one replay does not fit, it and every older one go: a newer match is never
    // dropped to keep an older, smaller one.
    std::size_t files = 0;
    std::uintmax_t bytes = 0;
    bool full = false;
    for (const Entry& e : entries) {
        full = full || files >= maxFiles || bytes + e.size > maxBytes;
        if (!full || e.path == keep) {
            ++files;
            bytes += e.size;
            continue;
        }
        std::filesystem::remove(e.path, ec);
    }
}

} // namespace zindle
